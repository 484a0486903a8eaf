#pragma once

#include "core/json.h"

#include <optional>
#include <string>
#include <vector>

namespace wrenfold::caldav {

// One calendar collection that discovery found on the server.
struct DiscoveredCalendar {
    std::string url;
    std::string name;
    std::optional<std::string> color;  // only when the server gave a usable one
    bool read_only { false };
    std::optional<std::string> ctag;  // the change tag, when the server keeps one

    // {"url", "name", "color"?, "read_only", "ctag"?}
    Json to_json() const;
};

// One event, or one occurrence of a series, as a listing or a read gives it.
// Times are wall-clock texts in the account's home zone.
struct EventRecord {
    std::string uid;
    std::string summary;
    std::string start;
    std::string end;
    bool all_day { false };
    std::string location;
    std::string description;
    std::string rrule;
    std::string url;
    std::string etag;
    bool recurring { false };
    std::string recurrence_id;  // "" for a single event or the series itself

    Json to_json() const;
};

// What a write left on the server: the resource it touched and its new tag,
// and the UID of an event it made.
struct WriteResult {
    std::optional<std::string> url;
    std::optional<std::string> etag;
    std::optional<std::string> uid;

    // {"ok": true, "url"?, "etag"?, "uid"?}
    Json to_json() const;
};

Json to_json(const std::vector<DiscoveredCalendar>& calendars);
Json to_json(const std::vector<EventRecord>& events);

}  // namespace wrenfold::caldav
