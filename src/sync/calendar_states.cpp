#include "sync/calendar_states.h"

#include <map>

namespace wrenfold::sync {

namespace {

std::string string_member(const Json& record, const char* key)
{
    auto found = record.find(key);
    return found != record.end() && found->is_string() ? found->get<std::string>() : std::string();
}

// Everything the calendar list shows of a calendar, its tag aside.
bool same_listing(const CalendarState& a, const CalendarState& b)
{
    return a.name == b.name && a.color == b.color && a.read_only == b.read_only;
}

}  // namespace

CalendarStates calendar_states(const Json& discovered)
{
    CalendarStates states;
    if (!discovered.is_array())
        return states;
    for (const Json& record : discovered) {
        if (!record.is_object())
            continue;
        CalendarState state { string_member(record, "url"), string_member(record, "ctag"),
                              string_member(record, "name"), string_member(record, "color"),
                              record.value("read_only", false) };
        if (!state.url.empty())
            states.push_back(std::move(state));
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
