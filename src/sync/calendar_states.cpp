#include "sync/calendar_states.h"

#include <map>

namespace wrenfold::sync {

namespace {

// Everything the calendar list shows of a calendar, its tag aside.
bool same_listing(const CalendarState& a, const CalendarState& b)
{
    return a.name == b.name && a.color == b.color && a.read_only == b.read_only;
}

}  // namespace

CalendarStates calendar_states(const std::vector<caldav::DiscoveredCalendar>& discovered)
{
    CalendarStates states;
    for (const auto& calendar : discovered) {
        if (calendar.url.empty())
            continue;
        states.push_back({ calendar.url, calendar.ctag.value_or(""), calendar.name, calendar.color.value_or(""),
                           calendar.read_only });
    }
    return states;
}

Changes compare_states(const CalendarStates& before, const CalendarStates& after)
{
    std::map<std::string, const CalendarState*> earlier;
    for (const CalendarState& state : before)
        earlier[state.url] = &state;
    Changes changes;
    changes.list_changed = before.size() != after.size();
    for (const CalendarState& state : after) {
        auto found = earlier.find(state.url);
        if (found == earlier.end()) {
            changes.list_changed = true;
            continue;
        }
        if (found->second->tag != state.tag)
            changes.changed_urls.push_back(state.url);
        if (!same_listing(*found->second, state))
            changes.list_changed = true;
    }
    return changes;
}

}  // namespace wrenfold::sync
