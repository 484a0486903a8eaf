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

Json EventRecord::to_json() const
{
    Json out = Json::object();
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
