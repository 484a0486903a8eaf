#pragma once

#include "core/json.h"

#include <optional>
#include <string>
#include <vector>

namespace wrenfold::caldav {

// The editor's values for one event, checked for type. A key that is missing
// or null is "not given"; any other wrong type is a CalDavError.
struct EventFields {
    std::optional<std::string> uid;
    std::optional<std::string> summary;
    std::optional<std::string> location;
    std::optional<std::string> description;
    std::optional<std::string> start;
    std::optional<std::string> end;
    std::optional<std::string> rrule;
    std::optional<std::string> recurrence_id;  // one occurrence of a series, as listed
    bool whole_series = false;                 // scope "all" rather than "this"
    bool from_here_on = false;                 // scope "future": this and the following occurrences
    std::optional<bool> all_day;
    // The zone a new event's wall times are given in and kept in; without
    // it they are the account's home zone.
    std::optional<std::string> tzid;
    // The alerts the editor shows, in minutes before the start.
    std::optional<std::vector<long long>> alerts;
};

EventFields parse_fields(const Json& fields);

}  // namespace wrenfold::caldav
