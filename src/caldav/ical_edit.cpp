#include "caldav/ical_edit.h"

#include "caldav/engine.h"
#include "caldav/ical_events.h"

#include <vector>

namespace wrenfold::caldav {
namespace {

void remove_all(icalcomponent* component, icalproperty_kind kind) {
    std::vector<icalproperty*> found;
    for (icalproperty* p = icalcomponent_get_first_property(component, kind); p;
         p = icalcomponent_get_next_property(component, kind))
        found.push_back(p);
    for (icalproperty* p : found) {
        icalcomponent_remove_property(component, p);
        icalproperty_free(p);
    }
}

void set_text(icalcomponent* event, icalproperty_kind kind, const std::string& text) {
    remove_all(event, kind);
    if (text.empty()) return;
    icalproperty* property = icalproperty_new(kind);
    icalproperty_set_value(property, icalvalue_new_text(text.c_str()));
    icalcomponent_add_property(event, property);
}

icaltimetype utc_time(std::chrono::sys_seconds instant) {
    return icaltime_from_timet_with_zone(instant.time_since_epoch().count(), 0, icaltimezone_get_utc_timezone());
}

void set_stamp(icalcomponent* event, icalproperty_kind kind, std::chrono::sys_seconds now) {
    remove_all(event, kind);  // iCloud repeats DTSTAMP; one is enough
    icalproperty* property = icalproperty_new(kind);
    icalproperty_set_value(property, icalvalue_new_datetime(utc_time(now)));
    icalcomponent_add_property(event, property);
}

// Sets a date or date-time value and leaves the parameters (TZID) alone.
void set_time_value(icalproperty* property, icaltimetype time) {
    if (time.is_date) {
        time.zone = nullptr;
        icalproperty_set_value(property, icalvalue_new_date(time));
    } else if (icaltime_is_utc(time)) {
        icalproperty_set_value(property, icalvalue_new_datetime(time));
    } else {
        time.zone = nullptr;
        icalproperty_set_value(property, icalvalue_new_datetime(time));
    }
}

std::string tzid_of(icalproperty* property) {
    icalparameter* tzid = property ? icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER) : nullptr;
    const char* text = tzid ? icalparameter_get_tzid(tzid) : nullptr;
    return text ? text : "";
}

// A date, a UTC time, or a wall-clock time with the given TZID (the home
// zone's when none is given).
icalproperty* time_property(icalproperty_kind kind, icaltimetype time, const EditContext& context,
                            const std::string& tzid = {}) {
    icalproperty* property = icalproperty_new(kind);
    set_time_value(property, time);
    if (!time.is_date && !icaltime_is_utc(time))
        icalproperty_add_parameter(property, icalparameter_new_tzid(tzid.empty() ? context.home_tzid.c_str() : tzid.c_str()));
    return property;
}

void replace_time(icalcomponent* event, icalproperty_kind kind, icaltimetype time, const EditContext& context,
                  const std::string& tzid = {}) {
    remove_all(event, kind);
    icalcomponent_add_property(event, time_property(kind, time, context, tzid));
}

bool has_timezone(icalcomponent* calendar, const std::string& tzid) {
    for (icalcomponent* tz = icalcomponent_get_first_component(calendar, ICAL_VTIMEZONE_COMPONENT); tz;
         tz = icalcomponent_get_next_component(calendar, ICAL_VTIMEZONE_COMPONENT)) {
        icalproperty* id = icalcomponent_get_first_property(tz, ICAL_TZID_PROPERTY);
        if (id && icalproperty_get_tzid(id) && tzid == icalproperty_get_tzid(id)) return true;
    }
    return false;
}

// Every TZID the events now name must have its VTIMEZONE in the calendar.
void add_home_timezone(icalcomponent* calendar, const EditContext& context) {
    if (context.home == icaltimezone_get_utc_timezone() || has_timezone(calendar, context.home_tzid)) return;
    icalcomponent* source = icaltimezone_get_component(context.home);
    if (!source) return;
    icalcomponent* copy = icalcomponent_new_clone(source);
    remove_all(copy, ICAL_TZID_PROPERTY);
    icalcomponent_add_property(copy, icalproperty_new_tzid(context.home_tzid.c_str()));
    // VTIMEZONEs go before the events.
    icalcomponent* first_event = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT);
    icalcomponent_add_component(calendar, copy);
    if (first_event) {
        std::vector<icalcomponent*> events;
        for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_ANY_COMPONENT); e;
             e = icalcomponent_get_next_component(calendar, ICAL_ANY_COMPONENT))
            if (e != copy && icalcomponent_isa(e) != ICAL_VTIMEZONE_COMPONENT) events.push_back(e);
        for (icalcomponent* e : events) {
            icalcomponent_remove_component(calendar, e);
            icalcomponent_add_component(calendar, e);
        }
    }
}

void set_rrule(icalcomponent* event, const std::string& raw) {
    std::string text = raw;
    if (text.rfind("RRULE:", 0) == 0) text.erase(0, 6);
    remove_all(event, ICAL_RRULE_PROPERTY);
    if (text.empty()) return;
    icalrecurrencetype rule = icalrecurrencetype_from_string(text.c_str());
    icalerror_clear_errno();
    if (rule.freq == ICAL_NO_RECURRENCE) throw CalDavError("invalid rrule: \"" + raw + "\"");
    icalcomponent_add_property(event, icalproperty_new_rrule(rule));
}

struct Times {
    icaltimetype start;
    icaltimetype end;
};

icaltimetype as_date(icaltimetype time) {
    time.is_date = 1;
    time.hour = time.minute = time.second = 0;
    time.zone = nullptr;
    return time;
}

icaltimetype as_timed(icaltimetype time, icaltimezone* home) {
    if (!time.is_date) return time;
    time.is_date = 0;
    time.zone = home;
    return time;
}

// The new start and end from the editor's values; `stored` gives what was
// there before (for a start without an end the length is kept).
Times resolve_times(const EventFields& fields, const std::optional<Times>& stored, const EditContext& context) {
    if (!fields.start && !stored) throw CalDavError("field \"start\" is required");
    Times times{};
    times.start = fields.start ? parse_input_time(*fields.start, context.home, "start") : stored->start;
    bool all_day = fields.all_day.value_or(fields.start ? times.start.is_date == 1 : stored->start.is_date == 1);
    times.start = all_day ? as_date(times.start) : as_timed(times.start, context.home);
    if (fields.end && !fields.end->empty()) {
        times.end = parse_input_time(*fields.end, context.home, "end");
        times.end = all_day ? as_date(times.end) : as_timed(times.end, context.home);
    } else if (stored && stored->start.is_date == all_day) {
        times.end = icaltime_add(times.start, icaltime_subtract(stored->end, stored->start));
        if (all_day) times.end = as_date(times.end);
    } else {
        times.end = times.start;
        if (all_day) icaltime_adjust(&times.end, 1, 0, 0, 0); else icaltime_adjust(&times.end, 0, 1, 0, 0);
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

std::optional<Times> stored_times(icalcomponent* calendar, icalcomponent* event, const EditContext& context) {
    icalproperty* dtstart = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
    if (!dtstart) return std::nullopt;
    Times times{read_time(dtstart, calendar, context.home), icaltime_null_time()};
    if (icaltime_is_null_time(times.start)) return std::nullopt;
    if (icalproperty* dtend = icalcomponent_get_first_property(event, ICAL_DTEND_PROPERTY))
        times.end = read_time(dtend, calendar, context.home);
    else if (icalproperty* duration = icalcomponent_get_first_property(event, ICAL_DURATION_PROPERTY))
        times.end = icaltime_add(times.start, icalproperty_get_duration(duration));
    if (icaltime_is_null_time(times.end) || times.end.is_date != times.start.is_date) {
        times.end = times.start;
        if (times.start.is_date) icaltime_adjust(&times.end, 1, 0, 0, 0);
    }
    return times;
}

void write_times(icalcomponent* event, const Times& times, const EditContext& context, const std::string& tzid = {}) {
    remove_all(event, ICAL_DURATION_PROPERTY);
    replace_time(event, ICAL_DTSTART_PROPERTY, times.start, context, tzid);
    replace_time(event, ICAL_DTEND_PROPERTY, times.end, context, tzid);
}

// Wall-clock seconds between two times, read as if both were in one zone.
long long wall_seconds(icaltimetype time) {
    icaltimetype copy = time;
    copy.zone = icaltimezone_get_utc_timezone();
    copy.is_date = 0;
    return static_cast<long long>(icaltime_as_timet_with_zone(copy, icaltimezone_get_utc_timezone()));
}

icaltimetype in_home_wall(icaltimetype time, icaltimezone* home) {
    if (time.is_date) return time;
    icaltimetype wall = icaltime_from_timet_with_zone(instant_of(time, home).time_since_epoch().count(), 0, home);
    wall.zone = home;
    return wall;
}

void shift_property_times(icalcomponent* component, icalproperty_kind kind, long long delta, const EditContext& context,
                          icalcomponent* calendar) {
    std::vector<icalproperty*> found;
    for (icalproperty* p = icalcomponent_get_first_property(component, kind); p;
         p = icalcomponent_get_next_property(component, kind))
        found.push_back(p);
    for (icalproperty* p : found) {
        icaltimetype time = read_time(p, calendar, context.home);
        if (icaltime_is_null_time(time)) continue;  // periods and odd values stay as they are
        icaltime_adjust(&time, 0, 0, 0, static_cast<int>(delta));
        set_time_value(p, time);
    }
}

// Editing one occurrence of a series moves the series: the master, its
// exceptions and the ids of its overrides shift by the occurrence's change.
void shift_series(icalcomponent* calendar, icalcomponent* master, const EventFields& fields, const EditContext& context) {
    auto master_times = stored_times(calendar, master, context);
    if (!master_times) throw CalDavError("the event has no start time");
    icaltimetype occurrence_id = parse_input_time(*fields.recurrence_id, context.home, "recurrence_id");
    // The occurrence as it is shown now: its override, if it has one.
    std::optional<Times> shown;
    auto id_instant = instant_of(occurrence_id, context.home);
    for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
        icalproperty* rid = icalcomponent_get_first_property(e, ICAL_RECURRENCEID_PROPERTY);
        if (rid && e != master && instant_of(read_time(rid, calendar, context.home), context.home) == id_instant)
            shown = stored_times(calendar, e, context);
    }
    if (!shown) {
        Times occurrence{occurrence_id, occurrence_id};
        occurrence.start = master_times->start.is_date ? as_date(occurrence_id) : as_timed(occurrence_id, context.home);
        occurrence.end = icaltime_add(occurrence.start, icaltime_subtract(master_times->end, master_times->start));
        if (occurrence.start.is_date) occurrence.end = as_date(occurrence.end);
        shown = occurrence;
    }
    Times shown_home{in_home_wall(shown->start, context.home), in_home_wall(shown->end, context.home)};
    Times wanted = resolve_times(fields, shown_home, context);
    long long delta = wall_seconds(wanted.start) - wall_seconds(shown_home.start);
    long long new_length = wall_seconds(wanted.end) - wall_seconds(wanted.start);

    Times moved = *master_times;
    if (wanted.start.is_date != moved.start.is_date) {
        moved.start = wanted.start.is_date ? as_date(moved.start) : as_timed(moved.start, context.home);
        if (!wanted.start.is_date) {
            moved.start.hour = wanted.start.hour;
            moved.start.minute = wanted.start.minute;
            moved.start.second = wanted.start.second;
        }
    }
    icaltime_adjust(&moved.start, 0, 0, 0, static_cast<int>(delta));
    moved.end = moved.start;
    icaltime_adjust(&moved.end, 0, 0, 0, static_cast<int>(new_length));
    // The series keeps its own zone unless it turns from all-day to timed.
    std::string tzid = master_times->start.is_date ? std::string() : tzid_of(icalcomponent_get_first_property(master, ICAL_DTSTART_PROPERTY));
    write_times(master, moved, context, tzid);
    if (delta == 0) return;
    shift_property_times(master, ICAL_EXDATE_PROPERTY, delta, context, calendar);
    for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT))
        if (e != master) shift_property_times(e, ICAL_RECURRENCEID_PROPERTY, delta, context, calendar);
}

void apply_texts(icalcomponent* event, const EventFields& fields) {
    if (fields.summary) set_text(event, ICAL_SUMMARY_PROPERTY, *fields.summary);
    if (fields.location) set_text(event, ICAL_LOCATION_PROPERTY, *fields.location);
    if (fields.description) set_text(event, ICAL_DESCRIPTION_PROPERTY, *fields.description);
    if (fields.rrule) set_rrule(event, *fields.rrule);
}

void raise_sequence(icalcomponent* event) {
    icalproperty* sequence = icalcomponent_get_first_property(event, ICAL_SEQUENCE_PROPERTY);
    int next = sequence ? icalproperty_get_sequence(sequence) + 1 : 1;
    remove_all(event, ICAL_SEQUENCE_PROPERTY);
    icalcomponent_add_property(event, icalproperty_new_sequence(next < 1 ? 1 : next));
}

}  // namespace

std::string serialize(icalcomponent* calendar) {
    char* text = icalcomponent_as_ical_string_r(calendar);
    if (!text) throw CalDavError("could not write the event");
    std::string out(text);
    icalmemory_free_buffer(text);
    return out;
}

std::string new_event_ics(const EventFields& fields, const std::string& uid, const EditContext& context) {
    Times times = resolve_times(fields, std::nullopt, context);
    IcalPtr calendar(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
    icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_prodid("-//Kelvane//Wrenfold//EN"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_calscale("GREGORIAN"));
    if (!times.start.is_date) add_home_timezone(calendar.get(), context);
    icalcomponent* event = icalcomponent_new(ICAL_VEVENT_COMPONENT);
    icalcomponent_add_component(calendar.get(), event);
    icalcomponent_add_property(event, icalproperty_new_uid(uid.c_str()));
    set_stamp(event, ICAL_DTSTAMP_PROPERTY, context.now);
    set_stamp(event, ICAL_CREATED_PROPERTY, context.now);
    write_times(event, times, context);
    apply_texts(event, fields);
    icalcomponent_add_property(event, icalproperty_new_sequence(0));
    return serialize(calendar.get());
}

void apply_fields(icalcomponent* calendar, const EventFields& fields, const EditContext& context) {
    icalcomponent* master = master_event(calendar);
    if (!master) throw CalDavError("the resource holds no event");
    bool times_given = fields.start || (fields.end && !fields.end->empty()) || fields.all_day;
    if (times_given && fields.recurrence_id && icalcomponent_get_first_property(master, ICAL_RRULE_PROPERTY)) {
        shift_series(calendar, master, fields, context);
    } else if (times_given) {
        write_times(master, resolve_times(fields, stored_times(calendar, master, context), context), context);
    }
    apply_texts(master, fields);
    if (times_given) add_home_timezone(calendar, context);
    for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
        raise_sequence(e);
        set_stamp(e, ICAL_DTSTAMP_PROPERTY, context.now);
    }
    set_stamp(master, ICAL_LASTMODIFIED_PROPERTY, context.now);
}

}  // namespace wrenfold::caldav
