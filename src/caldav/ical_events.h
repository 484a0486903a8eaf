#pragma once

#include "caldav/ical_time.h"
#include "core/json.h"

#include <chrono>
#include <string>

namespace wrenfold::caldav {

struct TimeRange {
    std::chrono::sys_seconds start;
    std::chrono::sys_seconds end;  // exclusive
};

// Parses one iCalendar object (a VCALENDAR); throws CalDavError when the text
// holds none.
IcalPtr parse_calendar(const std::string& text);

// Where a record came from on the server.
struct ResourceRef {
    std::string url;
    std::string etag;
};

// Every occurrence of the resource's events that overlaps the range, one
// event record each, recurrences expanded (RRULE, RDATE, EXDATE, overrides
// by RECURRENCE-ID). Appends to `out`.
void expand_resource(icalcomponent* calendar, const ResourceRef& ref, const TimeRange& range, icaltimezone* home,
                     Json& out);

// The stored event as one record: the master of a series, or the first event.
Json master_record(icalcomponent* calendar, const ResourceRef& ref, icaltimezone* home);

// The VEVENT without RECURRENCE-ID, or the first VEVENT.
icalcomponent* master_event(icalcomponent* calendar);

}  // namespace wrenfold::caldav
