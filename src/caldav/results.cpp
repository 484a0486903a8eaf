#include "caldav/results.h"

#include "core/bridge_answer.h"

namespace wrenfold::caldav {

Json DiscoveredCalendar::to_json() const
{
    Json out = Json::object();
    out["url"] = url;
    out["name"] = name;
    if (color)
        out["color"] = *color;
    out["read_only"] = read_only;
    if (ctag)
        out["ctag"] = *ctag;
    return out;
}

namespace {

// Whole minutes as an integer; a trigger with seconds keeps them.
Json minutes_of(long long seconds)
{
    if (seconds % 60 == 0)
        return seconds / 60;
    return static_cast<double>(seconds) / 60.0;
}

}  // namespace

Json AlarmRecord::to_json() const
{
    Json out = Json::object();
    out["action"] = action;
    if (seconds_before)
        out["minutes"] = minutes_of(*seconds_before);
    if (at)
        out["at"] = *at;
    if (related_end)
        out["related"] = "end";
    if (repeat > 0) {
        out["repeat"] = repeat;
        out["repeat_minutes"] = minutes_of(repeat_seconds);
    }
    out["own"] = own;
    return out;
}

Json EventRecord::to_json() const
{
    Json out = Json::object();
    out.get_ref<Json::object_t&>().reserve(20);
    out["uid"] = uid;
    out["summary"] = summary;
    out["start"] = start;
    out["end"] = end;
    out["all_day"] = all_day;
    out["location"] = location;
    out["description"] = description;
    out["rrule"] = rrule;
    out["url"] = url;
    out["etag"] = etag;
    out["recurring"] = recurring;
    out["recurrence_id"] = recurrence_id;
    if (!tzid.empty())
        out["tzid"] = tzid;
    Json listed = Json::array();
    for (const AlarmRecord& alarm : alarms)
        listed.push_back(alarm.to_json());
    out["alarms"] = std::move(listed);
    return out;
}

Json WriteResult::to_json() const
{
    Json given = Json::object();
    if (url)
        given["url"] = *url;
    if (etag)
        given["etag"] = *etag;
    if (uid)
        given["uid"] = *uid;
    return ok_answer(std::move(given));
}

Json to_json(const std::vector<DiscoveredCalendar>& calendars)
{
    Json out = Json::array();
    for (const auto& calendar : calendars)
        out.push_back(calendar.to_json());
    return out;
}

Json to_json(const std::vector<EventRecord>& events)
{
    Json out = Json::array();
    for (const auto& event : events)
        out.push_back(event.to_json());
    return out;
}

}  // namespace wrenfold::caldav
