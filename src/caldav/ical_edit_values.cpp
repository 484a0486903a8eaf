#include "caldav/ical_edit_steps.h"

#include "caldav/ical_events.h"

namespace wrenfold::caldav::edit {

void remove_property(icalcomponent* component, icalproperty* property)
{
    icalcomponent_remove_property(component, property);
    icalproperty_free(property);
}

void remove_all(icalcomponent* component, icalproperty_kind kind)
{
    for (icalproperty* p : properties_of(component, kind))
        remove_property(component, p);
}

bool is_utc(icaltimetype time)
{
    return time.zone == icaltimezone_get_utc_timezone() || icaltime_is_utc(time);
}

// Sets a date or date-time value; the parameters (TZID, LANGUAGE...) stay.
void set_time_value(icalproperty* property, icaltimetype time)
{
    if (time.is_date) {
        time.zone = nullptr;
        icalproperty_set_value(property, icalvalue_new_date(time));
        return;
    }
    time.zone = is_utc(time) ? icaltimezone_get_utc_timezone() : nullptr;
    icalproperty_set_value(property, icalvalue_new_datetime(time));
}

icaltimetype utc_time(std::chrono::sys_seconds instant)
{
    return wall_in(instant, icaltimezone_get_utc_timezone());
}

void set_stamp(icalcomponent* event, icalproperty_kind kind, std::chrono::sys_seconds now)
{
    remove_all(event, kind);  // iCloud repeats DTSTAMP; one is enough
    icalproperty* property = icalproperty_new(kind);
    icalproperty_set_value(property, icalvalue_new_datetime(utc_time(now)));
    icalcomponent_add_property(event, property);
}

icaltimetype as_date(icaltimetype time)
{
    time.is_date = 1;
    time.hour = time.minute = time.second = 0;
    time.zone = nullptr;
    return time;
}

icaltimetype as_timed(icaltimetype time, icaltimezone* home)
{
    if (!time.is_date)
        return time;
    time.is_date = 0;
    time.zone = home;
    return time;
}

bool same_time(icaltimetype a, icaltimetype b, icaltimezone* home)
{
    if (a.is_date != b.is_date)
        return false;
    if (a.is_date)
        return a.year == b.year && a.month == b.month && a.day == b.day;
    return instant_of(a, home) == instant_of(b, home);
}

}  // namespace wrenfold::caldav::edit
