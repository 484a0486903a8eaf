#pragma once

#include <libical/ical.h>

#include <chrono>
#include <memory>
#include <string>

namespace wrenfold::caldav {

struct IcalDeleter {
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using IcalPtr = std::unique_ptr<icalcomponent, IcalDeleter>;

// The IANA zone of libical's built-in data; throws CalDavError when unknown.
icaltimezone* home_zone_for(const std::string& tzid);

// The value of a date or date-time property with its zone attached: the
// calendar's own VTIMEZONE or the built-in zone of that name, UTC for "Z"
// values, and the home zone for floating times. Dates stay dates.
icaltimetype read_time(icalproperty* property, icalcomponent* calendar, icaltimezone* home);
icaltimetype attach_zone(icaltimetype value, icalproperty* property, icalcomponent* calendar, icaltimezone* home);

// The instant a zoned time stands for; a date counts as its midnight in the
// home zone. A wall-clock time that a DST change skips moves forward by the
// gap; one that it repeats means the earlier of the two instants.
std::chrono::sys_seconds instant_of(icaltimetype value, icaltimezone* home);

// The wall-clock time of an instant in `zone`, with the zone attached.
icaltimetype wall_in(std::chrono::sys_seconds instant, icaltimezone* zone);

// The wall-clock fields as seconds, as if the time were UTC: differences of
// these are wall-clock differences.
long long wall_seconds(icaltimetype value);

// "YYYY-MM-DD" for dates; otherwise the wall-clock time in the home zone,
// "YYYY-MM-DDTHH:MM:SS".
std::string format_in_home(icaltimetype value, icaltimezone* home);
std::string format_date(icaltimetype value);

// The IANA name of the zone a timed value was written in, when that is a
// named zone other than the home zone; "" for dates, UTC, floating times,
// the home zone and zones that name no place.
std::string own_zone_name(icaltimetype value, icaltimezone* home);

// Editor input: "YYYY-MM-DD" gives a date; "YYYY-MM-DDTHH:MM[:SS]" a
// wall-clock time in the home zone; a trailing "Z" or "+HH:MM" is converted
// to the home zone. The result of a timed value carries the home zone.
// Throws CalDavError naming `what` for anything else.
icaltimetype parse_input_time(const std::string& text, icaltimezone* home, const char* what);

std::chrono::sys_seconds home_midnight(std::chrono::year_month_day day, icaltimezone* home);

}  // namespace wrenfold::caldav
