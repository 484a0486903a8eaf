#pragma once

// Helpers the iCalendar tests share: the home zone, a calendar around
// events written as another program would, and the occurrences it expands to.
#include "caldav/ical_events.h"
#include "caldav/results.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace wrenfold::caldav {

inline icaltimezone* taipei()
{
    return home_zone_for("Asia/Taipei");
}

inline std::string wrap(const std::string& body)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Other//Program//EN\r\n" + body + "END:VCALENDAR\r\n";
}

inline TimeRange days(std::chrono::year_month_day from, std::chrono::year_month_day to)
{
    return { home_midnight(from, taipei()), home_midnight(to, taipei()) };
}

// "start|summary" of every occurrence in the range, sorted.
inline std::vector<std::string> starts_of(const std::string& ics, const TimeRange& range)
{
    IcalPtr calendar = parse_calendar(ics);
    std::vector<EventRecord> listed;
    expand_resource(calendar.get(), { "https://h/c/e.ics", "\"1\"" }, range, taipei(), listed);
    std::vector<std::string> starts;
    for (const EventRecord& event : listed)
        starts.push_back(event.start + "|" + event.summary);
    std::sort(starts.begin(), starts.end());
    return starts;
}

// "recurrence_id start end summary", sorted, over a wide range.
inline std::vector<std::string> occurrences(const std::string& ics,
                                            std::chrono::year_month_day from = std::chrono::year { 2024 } / 1 / 1,
                                            std::chrono::year_month_day to = std::chrono::year { 2027 } / 1 / 1)
{
    IcalPtr calendar = parse_calendar(ics);
    std::vector<EventRecord> listed;
    expand_resource(calendar.get(), { "u", "e" }, { home_midnight(from, taipei()), home_midnight(to, taipei()) },
                    taipei(), listed);
    std::vector<std::string> lines;
    for (const EventRecord& event : listed)
        lines.push_back(event.recurrence_id + " " + event.start + " " + event.end + " " + event.summary);
    std::sort(lines.begin(), lines.end());
    return lines;
}

}  // namespace wrenfold::caldav
