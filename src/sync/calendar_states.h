#pragma once

#include "caldav/results.h"
#include "core/json.h"

#include <string>
#include <vector>

namespace wrenfold::sync {

// What one look at an account's calendar home tells of one calendar.
struct CalendarState {
    std::string url;
    std::string tag;  // getctag, or the sync-token where there is no ctag
    std::string name;
    std::string color;
    bool read_only { false };

    bool operator==(const CalendarState&) const = default;
};

using CalendarStates = std::vector<CalendarState>;

// The states of the calendars that discovery answered; calendars without a
// URL are left out.
CalendarStates calendar_states(const std::vector<caldav::DiscoveredCalendar>& discovered);

struct Changes {
    std::vector<std::string> changed_urls;  // calendars whose tag moved
    bool list_changed { false };            // calendars added, removed, renamed, recoloured

    bool empty() const { return changed_urls.empty() && !list_changed; }
};

// What changed from one look to the next.
Changes compare_states(const CalendarStates& before, const CalendarStates& after);

}  // namespace wrenfold::sync
