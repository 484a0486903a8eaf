#pragma once

#include "core/json.h"

#include <chrono>
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

// One VALARM of an event as the page sees it. A relative trigger is given in
// seconds before its anchor (the start, or the end with RELATED=END; negative
// means after it); an absolute one as a wall-clock time in the home zone.
struct AlarmRecord {
    std::string action;  // "DISPLAY", "AUDIO", "EMAIL", ... as written
    std::optional<long long> seconds_before;
    bool related_end { false };
    std::optional<std::string> at;
    int repeat { 0 };
    long long repeat_seconds { 0 };
    bool own { false };  // written by this program
    // When the alarm is due for this occurrence, repetitions included, leaving
    // out what another program marked as acknowledged; empty for actions that
    // are kept but never delivered here.
    std::vector<std::chrono::sys_seconds> due;
    // The TRIGGER as written: with the event and occurrence, it names the alarm.
    std::string trigger;
    // The occurrence's start, from which a reminder tells how long is left.
    std::chrono::sys_seconds event_start {};

    // {"action", "minutes"? | "at"?, "related"?, "repeat"?, "repeat_minutes"?, "own"}
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
    std::string tzid;           // the zone it was written in, when not the home zone
    std::vector<AlarmRecord> alarms;

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
