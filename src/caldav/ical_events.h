#pragma once

#include "caldav/ical_time.h"
#include "caldav/results.h"
#include "core/json.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

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
// event record each, recurrences expanded (every RRULE, RDATE with its
// periods, EXDATE, overrides by RECURRENCE-ID, RANGE=THISANDFUTURE for the
// occurrences after one). Overrides without their series are listed each with
// its recurrence id; an event whose start cannot be read is listed as an
// all-day event on the day it was written, so that it can be found and
// deleted. Appends to `out`; throws TooManyOccurrences when a series needs
// more work than a listing allows.
void expand_resource(icalcomponent* calendar, const ResourceRef& ref, const TimeRange& range, icaltimezone* home,
                     std::vector<EventRecord>& out);

// The one occurrence of an object that never repeats, whatever range is
// listed: a single VEVENT without RRULE or RDATE (or an override alone), with
// the instants it spans in the home zone. Nothing for any other object.
struct SingleOccurrence {
    EventRecord record;
    std::chrono::sys_seconds start;
    std::chrono::sys_seconds end;
};
std::optional<SingleOccurrence> single_occurrence(icalcomponent* calendar, const ResourceRef& ref, icaltimezone* home);

// Whether an occurrence from `start` to `end` shows in the range: an instant
// event when it lies within, any other when the two overlap.
bool overlaps(std::chrono::sys_seconds start, std::chrono::sys_seconds end, const TimeRange& range);

// The stored event as one record: the master of a series, or the first event.
EventRecord master_record(icalcomponent* calendar, const ResourceRef& ref, icaltimezone* home);

// The VEVENT without RECURRENCE-ID, or the first VEVENT.
icalcomponent* master_event(icalcomponent* calendar);

// Start and end of one event, zones attached. The one reading of
// DTSTART/DTEND/DURATION: no usable end (or one before the start) means the
// start again for a timed event and the next day for an all-day one.
struct Span {
    icaltimetype start;
    icaltimetype end;
};
std::optional<Span> span_of(icalcomponent* event, icalcomponent* calendar, icaltimezone* home);

// An occurrence of a series that starts at `instance`: the series' length, as
// elapsed time for timed events (RFC 5545 §3.8.5.3), so an occurrence that a
// DST gap moves forward keeps it; `home` places floating times.
Span occurrence_span(const Span& series, icaltimetype instance, icaltimezone* home = nullptr);

bool repeats(icalcomponent* event);

// Every RRULE, RDATE or EXDATE property of a component. Collected first: the
// component's own iterator is reset by any lookup made while walking it.
std::vector<icalproperty*> properties_of(icalcomponent* component, icalproperty_kind kind);

}  // namespace wrenfold::caldav
