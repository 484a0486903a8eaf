#include "caldav/ical_edit_steps.h"

#include "caldav/engine.h"
#include "caldav/ical_events.h"

#include <vector>

namespace wrenfold::caldav::edit {

namespace {

bool has_timezone(icalcomponent* calendar, const std::string& tzid)
{
    for (icalcomponent* tz = icalcomponent_get_first_component(calendar, ICAL_VTIMEZONE_COMPONENT); tz;
         tz = icalcomponent_get_next_component(calendar, ICAL_VTIMEZONE_COMPONENT)) {
        icalproperty* id = icalcomponent_get_first_property(tz, ICAL_TZID_PROPERTY);
        if (id && icalproperty_get_tzid(id) && tzid == icalproperty_get_tzid(id))
            return true;
    }
    return false;
}

bool names_tzid(icalcomponent* calendar, const std::string& tzid)
{
    for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT))
        for (icalproperty_kind kind : { ICAL_DTSTART_PROPERTY, ICAL_DTEND_PROPERTY })
            for (icalproperty* p : properties_of(e, kind))
                if (icalparameter* param = icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER))
                    if (const char* text = icalparameter_get_tzid(param); text && tzid == text)
                        return true;
    return false;
}

void set_tzid(icalproperty* property, const std::string& tzid)
{
    icalproperty_remove_parameter_by_kind(property, ICAL_TZID_PARAMETER);
    icalproperty_add_parameter(property, icalparameter_new_tzid(tzid.c_str()));
}

}  // namespace

// A time written in the home zone needs the home zone's VTIMEZONE.
void add_home_timezone(icalcomponent* calendar, const EditContext& context)
{
    if (context.home == icaltimezone_get_utc_timezone() || has_timezone(calendar, context.home_tzid))
        return;
    if (!names_tzid(calendar, context.home_tzid))
        return;
    icalcomponent* source = icaltimezone_get_component(context.home);
    if (!source)
        return;
    icalcomponent* copy = icalcomponent_new_clone(source);
    remove_all(copy, ICAL_TZID_PROPERTY);
    icalcomponent_add_property(copy, icalproperty_new_tzid(context.home_tzid.c_str()));
    // VTIMEZONEs go before the events.
    std::vector<icalcomponent*> others;
    for (icalcomponent* c = icalcomponent_get_first_component(calendar, ICAL_ANY_COMPONENT); c;
         c = icalcomponent_get_next_component(calendar, ICAL_ANY_COMPONENT))
        if (icalcomponent_isa(c) != ICAL_VTIMEZONE_COMPONENT)
            others.push_back(c);
    icalcomponent_add_component(calendar, copy);
    for (icalcomponent* c : others) {
        icalcomponent_remove_component(calendar, c);
        icalcomponent_add_component(calendar, c);
    }
}

// Writes `wanted` (a date, or a time with its zone attached) into the
// property in the form that `form` already uses: its TZID, UTC or floating.
// A date turning into a time takes the home zone.
void write_time(icalproperty* property, icaltimetype wanted, icalproperty* form, icalcomponent* calendar,
                const EditContext& context)
{
    icalproperty_remove_parameter_by_kind(property, ICAL_VALUE_PARAMETER);
    if (wanted.is_date) {
        icalproperty_remove_parameter_by_kind(property, ICAL_TZID_PARAMETER);
        set_time_value(property, wanted);
        return;
    }
    const auto instant = instant_of(wanted, context.home);
    icaltimetype current = form ? read_time(form, calendar, context.home) : icaltime_null_time();
    if (icaltime_is_null_time(current) || current.is_date) {
        if (context.home == icaltimezone_get_utc_timezone()) {
            icalproperty_remove_parameter_by_kind(property, ICAL_TZID_PARAMETER);
            set_time_value(property, utc_time(instant));
        } else {
            set_tzid(property, context.home_tzid);
            set_time_value(property, wall_in(instant, context.home));
        }
        return;
    }
    if (is_utc(current)) {
        icalproperty_remove_parameter_by_kind(property, ICAL_TZID_PARAMETER);
        set_time_value(property, utc_time(instant));
        return;
    }
    icalparameter* tzid = icalproperty_get_first_parameter(form, ICAL_TZID_PARAMETER);
    if (property != form) {
        icalproperty_remove_parameter_by_kind(property, ICAL_TZID_PARAMETER);
        if (tzid)
            icalproperty_add_parameter(property, icalparameter_new_clone(tzid));
    }
    set_time_value(property, wall_in(instant, const_cast<icaltimezone*>(current.zone)));
}

// The new start and end from the editor's values; `stored` gives what was
// there before (for a start without an end the length is kept).
Span resolve_times(const EventFields& fields, const std::optional<Span>& stored, const EditContext& context)
{
    if (!fields.start && !stored)
        throw CalDavError("field \"start\" is required");
    Span times {};
    times.start = fields.start ? parse_input_time(*fields.start, context.home, "start") : stored->start;
    bool all_day = fields.all_day.value_or(fields.start ? times.start.is_date == 1 : stored->start.is_date == 1);
    times.start = all_day ? as_date(times.start) : as_timed(times.start, context.home);
    if (fields.end && !fields.end->empty()) {
        times.end = parse_input_time(*fields.end, context.home, "end");
        times.end = all_day ? as_date(times.end) : as_timed(times.end, context.home);
    } else if (stored && stored->start.is_date == all_day) {
        times.end = icaltime_add(times.start, icaltime_subtract(stored->end, stored->start));
        if (all_day)
            times.end = as_date(times.end);
    } else {
        times.end = times.start;
        if (all_day)
            icaltime_adjust(&times.end, 1, 0, 0, 0);
        else
            icaltime_adjust(&times.end, 0, 1, 0, 0);
    }
    auto start_instant = instant_of(times.start, context.home);
    auto end_instant = instant_of(times.end, context.home);
    if (all_day && end_instant <= start_instant) {
        times.end = times.start;
        icaltime_adjust(&times.end, 1, 0, 0, 0);
    } else if (end_instant < start_instant) {
        throw CalDavError("the end lies before the start");
    }
    return times;
}

bool times_given(const EventFields& fields)
{
    return fields.start || (fields.end && !fields.end->empty()) || fields.all_day;
}

// The end of an event now starting at `start`, `length` after it.
void write_end(icalcomponent* calendar, icalcomponent* event, icaltimetype end, const EditContext& context)
{
    icalproperty* dtstart = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
    icalproperty* dtend = icalcomponent_get_first_property(event, ICAL_DTEND_PROPERTY);
    remove_all(event, ICAL_DURATION_PROPERTY);
    if (!dtend) {
        dtend = icalproperty_new(ICAL_DTEND_PROPERTY);
        icalcomponent_add_property(event, dtend);
        write_time(dtend, end, dtstart, calendar, context);
        return;
    }
    icaltimetype current = read_time(dtend, calendar, context.home);
    bool same_kind = !icaltime_is_null_time(current) && current.is_date == end.is_date;
    write_time(dtend, end, same_kind ? dtend : dtstart, calendar, context);
}

// Applies the editor's times to one VEVENT whose times are now `current`.
// Only a time that differs is written. True when something changed.
bool retime(icalcomponent* calendar, icalcomponent* event, const Span& current, const Span& wanted,
            const EditContext& context)
{
    bool start_changed = !same_time(wanted.start, current.start, context.home);
    bool end_changed = !same_time(wanted.end, current.end, context.home);
    if (!start_changed && !end_changed)
        return false;
    icalproperty* dtstart = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
    if (start_changed)
        write_time(dtstart, wanted.start, dtstart, calendar, context);
    // Without a DTEND the end is counted from the start (a DURATION, or the
    // default length): a new start moves it, so an end that is to stay put
    // has to be written too.
    bool end_follows_start = !icalcomponent_get_first_property(event, ICAL_DTEND_PROPERTY);
    if (!end_changed && !(start_changed && end_follows_start))
        return true;
    bool has_end = icalcomponent_get_first_property(event, ICAL_DTEND_PROPERTY) ||
        icalcomponent_get_first_property(event, ICAL_DURATION_PROPERTY);
    bool length_kept = wanted.start.is_date == current.start.is_date &&
        instant_of(wanted.end, context.home) - instant_of(wanted.start, context.home) ==
            instant_of(current.end, context.home) - instant_of(current.start, context.home);
    bool duration_kept = length_kept && icalcomponent_get_first_property(event, ICAL_DURATION_PROPERTY);
    Span bare { wanted.start, wanted.start };
    if (wanted.start.is_date)
        icaltime_adjust(&bare.end, 1, 0, 0, 0);
    bool default_end = !has_end && same_time(bare.end, wanted.end, context.home);
    if (!duration_kept && !default_end)
        write_end(calendar, event, wanted.end, context);
    return true;
}

void move_to_zone(icalcomponent* calendar, icalcomponent* event, const std::string& tzid, const EditContext& context)
{
    const EditContext target { home_zone_for(tzid), tzid, context.now };
    for (icalproperty_kind kind : { ICAL_DTSTART_PROPERTY, ICAL_DTEND_PROPERTY }) {
        icalproperty* property = icalcomponent_get_first_property(event, kind);
        icaltimetype value = property ? read_time(property, calendar, context.home) : icaltime_null_time();
        if (icaltime_is_null_time(value) || value.is_date)
            continue;
        bool zoned = icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER) != nullptr;
        icaltimetype shown =
            wall_in(instant_of(value, context.home), zoned ? const_cast<icaltimezone*>(value.zone) : context.home);
        shown.zone = target.home;
        icalproperty_remove_parameter_by_kind(property, ICAL_TZID_PARAMETER);
        if (target.home != icaltimezone_get_utc_timezone())
            set_tzid(property, tzid);
        set_time_value(property, shown);
    }
    add_home_timezone(calendar, target);
}

}  // namespace wrenfold::caldav::edit
