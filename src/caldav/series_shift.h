#pragma once

#include "caldav/ical_time.h"

namespace wrenfold::caldav {

// A move of every occurrence of a series: `seconds` of wall-clock time in
// the series' own zone (whole days for an all-day series).
struct SeriesShift {
    long long seconds;
    icaltimezone* zone;  // the zone of the series' DTSTART
    icaltimezone* home;  // how floating times are read
};

// `value` (zone attached, or a date) moved by the shift and written back in
// its own zone: a UTC value stays UTC, a date stays a date.
icaltimetype shifted_time(icaltimetype value, const SeriesShift& shift);

// The same for a property's value; its parameters stay as they are. Values
// that are not a date or date-time (periods) have both ends moved.
void shift_property(icalproperty* property, icalcomponent* calendar, const SeriesShift& shift);

// Moves the whole series held by `calendar`: the master's DTSTART/DTEND,
// its RRULEs (BYDAY, BYMONTHDAY, UNTIL), RDATEs and EXDATEs, and each
// override's RECURRENCE-ID and times, so that every occurrence moves by the
// shift and none appears or vanishes. A rule that cannot say the same days
// after the move (a "last Friday" moved to Saturday) is refused with a
// CalDavError before anything is changed.
void shift_series(icalcomponent* calendar, icalcomponent* master, const SeriesShift& shift);

}  // namespace wrenfold::caldav
