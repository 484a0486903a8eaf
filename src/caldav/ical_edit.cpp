#include "caldav/ical_edit.h"

#include "caldav/alarms.h"
#include "caldav/engine.h"
#include "caldav/ical_events.h"
#include "caldav/series_shift.h"

#include <cstring>
#include <vector>

namespace wrenfold::caldav {
namespace {

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

// A new value of a text property, written into the property that is there
// so that its parameters survive. An unchanged text is not touched.
bool set_text(icalcomponent* event, icalproperty_kind kind, const std::string& text)
{
    auto found = properties_of(event, kind);
    if (text.empty()) {
        for (icalproperty* p : found)
            remove_property(event, p);
        return !found.empty();
    }
    if (found.empty()) {
        icalproperty* property = icalproperty_new(kind);
        icalproperty_set_value(property, icalvalue_new_text(text.c_str()));
        icalcomponent_add_property(event, property);
        return true;
    }
    icalvalue* value = icalproperty_get_value(found[0]);
    const char* current = value && icalvalue_isa(value) == ICAL_TEXT_VALUE ? icalvalue_get_text(value) : nullptr;
    if (found.size() == 1 && current && text == current)
        return false;
    icalproperty_set_value(found[0], icalvalue_new_text(text.c_str()));
    // An alternative rendering of the old text would now contradict it.
    icalproperty_remove_parameter_by_kind(found[0], ICAL_ALTREP_PARAMETER);
    for (size_t i = 1; i < found.size(); ++i)
        remove_property(event, found[i]);
    return true;
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

void set_tzid(icalproperty* property, const std::string& tzid)
{
    icalproperty_remove_parameter_by_kind(property, ICAL_TZID_PARAMETER);
    icalproperty_add_parameter(property, icalparameter_new_tzid(tzid.c_str()));
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

bool set_rrule(icalcomponent* event, const std::string& raw)
{
    std::string text = raw;
    if (text.rfind("RRULE:", 0) == 0)
        text.erase(0, 6);
    auto current = properties_of(event, ICAL_RRULE_PROPERTY);
    if (current.size() == 1) {
        char* written = icalvalue_as_ical_string_r(icalproperty_get_value(current[0]));
        bool same = written && text == written;
        icalmemory_free_buffer(written);
        if (same)
            return false;
    }
    if (text.empty() && current.empty())
        return false;
    icalrecurrencetype rule {};
    if (!text.empty()) {
        rule = icalrecurrencetype_from_string(text.c_str());
        icalerror_clear_errno();
        if (rule.freq == ICAL_NO_RECURRENCE)
            throw CalDavError("invalid rrule: \"" + raw + "\"");
    }
    remove_all(event, ICAL_RRULE_PROPERTY);
    if (!text.empty())
        icalcomponent_add_property(event, icalproperty_new_rrule(rule));
    return true;
}

bool apply_texts(icalcomponent* event, const EventFields& fields, bool with_rule)
{
    bool changed = false;
    if (fields.summary)
        changed |= set_text(event, ICAL_SUMMARY_PROPERTY, *fields.summary);
    if (fields.location)
        changed |= set_text(event, ICAL_LOCATION_PROPERTY, *fields.location);
    if (fields.description)
        changed |= set_text(event, ICAL_DESCRIPTION_PROPERTY, *fields.description);
    if (with_rule && fields.rrule)
        changed |= set_rrule(event, *fields.rrule);
    return changed;
}

// RFC 5545 §3.8.7.4: a significant change raises SEQUENCE, so that
// attendees' copies know the stored one is newer.
void raise_sequence(icalcomponent* event)
{
    icalproperty* sequence = icalcomponent_get_first_property(event, ICAL_SEQUENCE_PROPERTY);
    int next = sequence ? icalproperty_get_sequence(sequence) + 1 : 1;
    remove_all(event, ICAL_SEQUENCE_PROPERTY);
    icalcomponent_add_property(event, icalproperty_new_sequence(next < 1 ? 1 : next));
}

void finish_edit(icalcomponent* calendar, icalcomponent* master, const EditContext& context)
{
    add_home_timezone(calendar, context);
    for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
        raise_sequence(e);
        set_stamp(e, ICAL_DTSTAMP_PROPERTY, context.now);
    }
    set_stamp(master, ICAL_LASTMODIFIED_PROPERTY, context.now);
}

icaltimezone* series_zone(const Span& series, const EditContext& context)
{
    if (series.start.is_date)
        return context.home;
    if (is_utc(series.start))
        return icaltimezone_get_utc_timezone();
    return series.start.zone ? const_cast<icaltimezone*>(series.start.zone) : context.home;
}

// Wall-clock seconds in the series' zone from `from` to `to`.
long long wall_delta(icaltimetype from, icaltimetype to, icaltimezone* zone, icaltimezone* home)
{
    if (from.is_date)
        return wall_seconds(to) - wall_seconds(from);
    return wall_seconds(wall_in(instant_of(to, home), zone)) - wall_seconds(wall_in(instant_of(from, home), zone));
}

// One occurrence of a series as the listing names it.
struct Occurrence {
    icaltimetype original;  // its RECURRENCE-ID: in the series' zone, or a date
    icalcomponent* override_event;
    Span shown;
};

std::optional<icalcomponent*> override_for(icalcomponent* calendar, icalcomponent* master, icaltimetype original,
                                           icaltimezone* home)
{
    for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
        icalproperty* rid = icalcomponent_get_first_property(e, ICAL_RECURRENCEID_PROPERTY);
        if (e != master && rid && same_time(read_time(rid, calendar, home), original, home))
            return e;
    }
    return std::nullopt;
}

Occurrence find_occurrence(icalcomponent* calendar, icalcomponent* master, const Span& series,
                           const std::string& recurrence_id, const EditContext& context)
{
    icaltimetype id = parse_input_time(recurrence_id, context.home, "recurrence_id");
    auto missing = [&]() { return CalDavError("the event has no occurrence at " + recurrence_id); };
    if (id.is_date != series.start.is_date)
        throw missing();
    const auto instant = instant_of(id, context.home);
    icaltimetype original = id.is_date ? id : wall_in(instant, series_zone(series, context));
    // A listed occurrence: the series expanded around it names it.
    const std::string key = format_in_home(id, context.home);
    std::vector<EventRecord> listed;
    expand_resource(calendar, { "", "" }, { instant - std::chrono::hours(48), instant + std::chrono::hours(48) },
                    context.home, listed);
    auto found = override_for(calendar, master, original, context.home);
    bool exists = false;
    for (const auto& record : listed)
        exists = exists || record.recurrence_id == key;
    if (!exists && !found)
        throw missing();
    if (found) {
        auto span = span_of(*found, calendar, context.home);
        if (!span)
            throw missing();
        return { original, *found, *span };
    }
    return { original, nullptr, occurrence_span(series, original) };
}

// The occurrence as an event of its own, still the series' copy.
icalcomponent* new_override(icalcomponent* calendar, icalcomponent* master, const Occurrence& occurrence,
                            const EditContext& context)
{
    icalcomponent* copy = icalcomponent_new_clone(master);
    for (icalproperty_kind kind : { ICAL_RRULE_PROPERTY, ICAL_RDATE_PROPERTY, ICAL_EXDATE_PROPERTY,
                                    ICAL_EXRULE_PROPERTY, ICAL_RECURRENCEID_PROPERTY, ICAL_LASTMODIFIED_PROPERTY })
        remove_all(copy, kind);
    icalproperty* dtstart = icalcomponent_get_first_property(copy, ICAL_DTSTART_PROPERTY);
    set_time_value(dtstart, occurrence.original);
    if (icalproperty* dtend = icalcomponent_get_first_property(copy, ICAL_DTEND_PROPERTY))
        write_time(dtend, occurrence.shown.end, dtend, calendar, context);
    icalproperty* rid = icalproperty_new(ICAL_RECURRENCEID_PROPERTY);
    if (icalparameter* tzid = icalproperty_get_first_parameter(dtstart, ICAL_TZID_PARAMETER))
        icalproperty_add_parameter(rid, icalparameter_new_clone(tzid));
    set_time_value(rid, occurrence.original);
    icalcomponent_add_property(copy, rid);
    icalcomponent_add_component(calendar, copy);
    return copy;
}

void edit_occurrence(icalcomponent* calendar, icalcomponent* master, Occurrence occurrence, const EventFields& fields,
                     const EditContext& context)
{
    Span wanted = times_given(fields) ? resolve_times(fields, occurrence.shown, context) : occurrence.shown;
    bool created = occurrence.override_event == nullptr;
    if (created)
        occurrence.override_event = new_override(calendar, master, occurrence, context);
    bool changed = retime(calendar, occurrence.override_event, occurrence.shown, wanted, context);
    changed |= apply_texts(occurrence.override_event, fields, false);
    if (fields.alerts)
        changed |= set_alerts(occurrence.override_event, *fields.alerts);
    if (created && !changed) {
        icalcomponent_remove_component(calendar, occurrence.override_event);
        icalcomponent_free(occurrence.override_event);
    }
}

long long length_seconds(const Span& span, icaltimezone* home)
{
    return (instant_of(span.end, home) - instant_of(span.start, home)).count();
}

// A new length for the series' master, its start as it now stands.
void set_series_length(icalcomponent* calendar, icalcomponent* master, long long seconds, const EditContext& context)
{
    auto span = span_of(master, calendar, context.home);
    if (!span || length_seconds(*span, context.home) == seconds)
        return;
    Span wanted = *span;
    if (span->start.is_date) {
        wanted.end = span->start;
        icaltime_adjust(&wanted.end, static_cast<int>(seconds / 86400), 0, 0, 0);
    } else {
        wanted.end = wall_in(instant_of(span->start, context.home) + std::chrono::seconds(seconds), context.home);
    }
    retime(calendar, master, *span, wanted, context);
}

void edit_series_at(icalcomponent* calendar, icalcomponent* master, const Span& series, const Occurrence& occurrence,
                    const EventFields& fields, const EditContext& context)
{
    if (times_given(fields)) {
        Span wanted = resolve_times(fields, occurrence.shown, context);
        if (wanted.start.is_date != series.start.is_date)
            throw CalDavError("a repeating event turns all-day or timed only as a whole, not from one occurrence");
        icaltimezone* zone = series_zone(series, context);
        long long delta = wall_delta(occurrence.shown.start, wanted.start, zone, context.home);
        shift_series(calendar, master, { delta, zone, context.home });
        long long length = length_seconds(wanted, context.home);
        if (length != length_seconds(occurrence.shown, context.home)) {
            set_series_length(calendar, master, length, context);
            if (occurrence.override_event) {
                auto moved = span_of(occurrence.override_event, calendar, context.home);
                if (moved) {
                    Span resized = *moved;
                    resized.end = moved->start;
                    if (moved->start.is_date)
                        icaltime_adjust(&resized.end, static_cast<int>(length / 86400), 0, 0, 0);
                    else
                        resized.end = wall_in(instant_of(moved->start, context.home) + std::chrono::seconds(length),
                                              context.home);
                    retime(calendar, occurrence.override_event, *moved, resized, context);
                }
            }
        }
    }
    // A text that the occurrence already shows was not edited: the editor
    // sends every field, and an override's own title must not become the
    // series' title. A changed one goes to the series and this occurrence.
    icalcomponent* shown = occurrence.override_event ? occurrence.override_event : master;
    EventFields texts;
    auto changed = [&](const std::optional<std::string>& given, icalproperty_kind kind) -> std::optional<std::string> {
        if (!given)
            return std::nullopt;
        icalproperty* property = icalcomponent_get_first_property(shown, kind);
        icalvalue* value = property ? icalproperty_get_value(property) : nullptr;
        const char* current = value && icalvalue_isa(value) == ICAL_TEXT_VALUE ? icalvalue_get_text(value) : nullptr;
        if (*given == (current ? current : ""))
            return std::nullopt;
        return given;
    };
    texts.summary = changed(fields.summary, ICAL_SUMMARY_PROPERTY);
    texts.location = changed(fields.location, ICAL_LOCATION_PROPERTY);
    texts.description = changed(fields.description, ICAL_DESCRIPTION_PROPERTY);
    texts.rrule = fields.rrule;
    apply_texts(master, texts, true);
    if (occurrence.override_event)
        apply_texts(occurrence.override_event, texts, false);
    if (fields.alerts)
        set_alerts(master, *fields.alerts);
}

// The day a date or time falls on in `zone`.
icaltimetype day_in(icaltimetype value, icaltimezone* zone, icaltimezone* home)
{
    return value.is_date ? value : as_date(wall_in(instant_of(value, home), zone));
}

// `value` (an EXDATE, RDATE or RECURRENCE-ID) in the kind of the series'
// new start: its day in the series' old zone, or that day at the new time.
icaltimetype in_kind_of(icaltimetype value, icaltimetype new_start, icaltimezone* old_zone, icaltimezone* home)
{
    if (new_start.is_date)
        return day_in(value, old_zone, home);
    if (!value.is_date)
        return value;
    icaltimetype timed = new_start;
    timed.year = value.year;
    timed.month = value.month;
    timed.day = value.day;
    return timed;
}

void write_in_kind(icalproperty* property, icaltimetype value, icalproperty* dtstart)
{
    icalproperty_remove_parameter_by_kind(property, ICAL_VALUE_PARAMETER);
    icalproperty_remove_parameter_by_kind(property, ICAL_TZID_PARAMETER);
    if (icalparameter* tzid = icalproperty_get_first_parameter(dtstart, ICAL_TZID_PARAMETER); tzid && !value.is_date)
        icalproperty_add_parameter(property, icalparameter_new_clone(tzid));
    set_time_value(property, value);
}

// A series turning all-day or timed, on the day it starts: its DTSTART (the
// end is left to the caller), and every date or time that names one of its
// occurrences, so that no excluded occurrence comes back, no added one is
// lost and every override still finds its occurrence.
void change_series_kind(icalcomponent* calendar, icalcomponent* master, const Span& current, icaltimetype wanted,
                        const EditContext& context)
{
    icaltimezone* old_zone = series_zone(current, context);
    icalproperty* dtstart = icalcomponent_get_first_property(master, ICAL_DTSTART_PROPERTY);
    write_time(dtstart, in_kind_of(current.start, wanted, old_zone, context.home), nullptr, calendar, context);
    remove_all(master, ICAL_DTEND_PROPERTY);
    remove_all(master, ICAL_DURATION_PROPERTY);
    const icaltimetype new_start = read_time(dtstart, calendar, context.home);
    auto convert = [&](icalproperty* property) {
        icaltimetype value = read_time(property, calendar, context.home);
        if (!icaltime_is_null_time(value) && value.is_date != new_start.is_date)
            write_in_kind(property, in_kind_of(value, new_start, old_zone, context.home), dtstart);
    };
    for (icalproperty_kind kind : { ICAL_RDATE_PROPERTY, ICAL_EXDATE_PROPERTY })
        for (icalproperty* p : properties_of(master, kind))
            convert(p);
    for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT))
        if (e != master)
            for (icalproperty* p : properties_of(e, ICAL_RECURRENCEID_PROPERTY))
                convert(p);
    for (icalproperty* p : properties_of(master, ICAL_RRULE_PROPERTY)) {
        icalrecurrencetype rule = icalproperty_get_rrule(p);
        if (icaltime_is_null_time(rule.until) || rule.until.is_date == new_start.is_date)
            continue;
        icaltimetype until = rule.until;
        if (!until.is_date)
            until.zone = icaltime_is_utc(until) ? icaltimezone_get_utc_timezone() : old_zone;
        until = in_kind_of(until, new_start, old_zone, context.home);
        rule.until = until.is_date ? until : wall_in(instant_of(until, context.home), icaltimezone_get_utc_timezone());
        icalproperty_set_rrule(p, rule);
    }
}

// The whole event. A repeating event's new start moves the series along
// (its excluded dates and overrides with it) when its rule allows that.
void edit_whole(icalcomponent* calendar, icalcomponent* master, const EventFields& fields, const EditContext& context)
{
    if (times_given(fields)) {
        auto current = span_of(master, calendar, context.home);
        Span wanted = resolve_times(fields, current, context);
        if (current && repeats(master) && wanted.start.is_date != current->start.is_date) {
            change_series_kind(calendar, master, *current, wanted.start, context);
            current = span_of(master, calendar, context.home);
        }
        if (current && repeats(master) && wanted.start.is_date == current->start.is_date &&
            !same_time(wanted.start, current->start, context.home)) {
            icaltimezone* zone = series_zone(*current, context);
            try {
                shift_series(calendar, master,
                             { wall_delta(current->start, wanted.start, zone, context.home), zone, context.home });
                current = span_of(master, calendar, context.home);
            } catch (const CalDavError&) {
                // The rule cannot follow: the new start alone, as asked.
            }
        }
        if (current) {
            retime(calendar, master, *current, wanted, context);
        } else {
            remove_all(master, ICAL_DTSTART_PROPERTY);
            icalproperty* dtstart = icalproperty_new(ICAL_DTSTART_PROPERTY);
            icalcomponent_add_property(master, dtstart);
            write_time(dtstart, wanted.start, nullptr, calendar, context);
            write_end(calendar, master, wanted.end, context);
        }
    }
    apply_texts(master, fields, true);
    if (fields.alerts)
        set_alerts(master, *fields.alerts);
}

// A series that no longer repeats has no occurrences for its overrides and
// excluded dates to name: left behind, each override would show as an event
// of its own, whose deletion takes the whole event with it.
void drop_occurrence_exceptions(icalcomponent* calendar, icalcomponent* master)
{
    remove_all(master, ICAL_EXDATE_PROPERTY);
    std::vector<icalcomponent*> overrides;
    for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT))
        if (e != master && icalcomponent_get_first_property(e, ICAL_RECURRENCEID_PROPERTY))
            overrides.push_back(e);
    for (icalcomponent* e : overrides) {
        icalcomponent_remove_component(calendar, e);
        icalcomponent_free(e);
    }
}

}  // namespace

std::string serialize(icalcomponent* calendar)
{
    std::vector<icalcomponent*> pending { calendar };
    while (!pending.empty()) {
        icalcomponent* component = pending.back();
        pending.pop_back();
        remove_all(component, ICAL_XLICERROR_PROPERTY);
        for (icalcomponent* c = icalcomponent_get_first_component(component, ICAL_ANY_COMPONENT); c;
             c = icalcomponent_get_next_component(component, ICAL_ANY_COMPONENT))
            pending.push_back(c);
    }
    char* text = icalcomponent_as_ical_string_r(calendar);
    if (!text)
        throw CalDavError("could not write the event");
    std::string out(text);
    icalmemory_free_buffer(text);
    return out;
}

std::string new_event_ics(const EventFields& fields, const std::string& uid, const EditContext& context)
{
    Span times = resolve_times(fields, std::nullopt, context);
    IcalPtr calendar(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
    icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_prodid("-//Kelvane//Wrenfold//EN"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_calscale("GREGORIAN"));
    icalcomponent* event = icalcomponent_new(ICAL_VEVENT_COMPONENT);
    icalcomponent_add_component(calendar.get(), event);
    icalcomponent_add_property(event, icalproperty_new_uid(uid.c_str()));
    set_stamp(event, ICAL_DTSTAMP_PROPERTY, context.now);
    set_stamp(event, ICAL_CREATED_PROPERTY, context.now);
    icalproperty* dtstart = icalproperty_new(ICAL_DTSTART_PROPERTY);
    icalcomponent_add_property(event, dtstart);
    write_time(dtstart, times.start, nullptr, calendar.get(), context);
    write_end(calendar.get(), event, times.end, context);
    apply_texts(event, fields, true);
    if (fields.alerts)
        set_alerts(event, *fields.alerts);
    icalcomponent_add_property(event, icalproperty_new_sequence(0));
    add_home_timezone(calendar.get(), context);
    return serialize(calendar.get());
}

void apply_fields(icalcomponent* calendar, const EventFields& fields, const EditContext& context)
{
    icalcomponent* master = master_event(calendar);
    if (!master)
        throw CalDavError("the resource holds no event");
    bool series = repeats(master) && !icalcomponent_get_first_property(master, ICAL_RECURRENCEID_PROPERTY);
    if (fields.recurrence_id && series) {
        auto span = span_of(master, calendar, context.home);
        if (!span)
            throw CalDavError("the event has no start time");
        Occurrence occurrence = find_occurrence(calendar, master, *span, *fields.recurrence_id, context);
        if (fields.whole_series)
            edit_series_at(calendar, master, *span, occurrence, fields, context);
        else
            edit_occurrence(calendar, master, occurrence, fields, context);
    } else {
        edit_whole(calendar, master, fields, context);
    }
    if (series && !repeats(master))
        drop_occurrence_exceptions(calendar, master);
    finish_edit(calendar, master, context);
}

void remove_occurrence(icalcomponent* calendar, const std::string& recurrence_id, const EditContext& context)
{
    icalcomponent* master = master_event(calendar);
    if (!master)
        throw CalDavError("the resource holds no event");
    if (!repeats(master) || icalcomponent_get_first_property(master, ICAL_RECURRENCEID_PROPERTY))
        throw CalDavError("the event does not repeat");
    auto span = span_of(master, calendar, context.home);
    if (!span)
        throw CalDavError("the event has no start time");
    Occurrence occurrence = find_occurrence(calendar, master, *span, recurrence_id, context);
    while (auto found = override_for(calendar, master, occurrence.original, context.home)) {
        icalcomponent_remove_component(calendar, *found);
        icalcomponent_free(*found);
    }
    icalproperty* exdate = icalproperty_new(ICAL_EXDATE_PROPERTY);
    if (icalparameter* tzid = icalproperty_get_first_parameter(
            icalcomponent_get_first_property(master, ICAL_DTSTART_PROPERTY), ICAL_TZID_PARAMETER);
        tzid && !occurrence.original.is_date)
        icalproperty_add_parameter(exdate, icalparameter_new_clone(tzid));
    set_time_value(exdate, occurrence.original);
    icalcomponent_add_property(master, exdate);
    finish_edit(calendar, master, context);
}

}  // namespace wrenfold::caldav
