#include "caldav/ical_edit_steps.h"

#include "caldav/engine.h"
#include "caldav/ical_events.h"
#include "caldav/series_shift.h"

#include <algorithm>
#include <set>
#include <vector>

namespace wrenfold::caldav::edit {

namespace {

// Wall-clock seconds in the series' zone from `from` to `to`.
long long wall_delta(icaltimetype from, icaltimetype to, icaltimezone* zone, icaltimezone* home)
{
    if (from.is_date)
        return wall_seconds(to) - wall_seconds(from);
    return wall_seconds(wall_in(instant_of(to, home), zone)) - wall_seconds(wall_in(instant_of(from, home), zone));
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

// A text that the occurrence already shows was not edited: the editor
// sends every field, and an override's own title must not become the
// series' title. A changed one goes to the series and this occurrence.
void edit_series_texts(icalcomponent* master, const Occurrence& occurrence, const EventFields& fields)
{
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
    texts.alerts = fields.alerts;
    apply_texts(master, texts, true);
    if (occurrence.override_event)
        apply_texts(occurrence.override_event, texts, false);
}

// All-day or timed, asked from one occurrence for the whole series: the
// series' first day moves by as many days as that occurrence's did, and
// takes the time of day and the length asked for.
void switch_series_kind(icalcomponent* calendar, icalcomponent* master, const Span& series,
                        const Occurrence& occurrence, const Span& wanted, const EditContext& context)
{
    icaltimetype shown_day = day_in(occurrence.shown.start, context.home, context.home);
    icaltimetype wanted_day = day_in(wanted.start, context.home, context.home);
    icaltimetype first = day_in(series.start, series_zone(series, context), context.home);
    icaltime_adjust(&first, static_cast<int>((wall_seconds(wanted_day) - wall_seconds(shown_day)) / 86400), 0, 0, 0);
    EventFields whole;
    whole.all_day = wanted.start.is_date == 1;
    if (wanted.start.is_date) {
        icaltimetype last = first;
        icaltime_adjust(&last, static_cast<int>((wall_seconds(wanted.end) - wall_seconds(wanted.start)) / 86400), 0, 0,
                        0);
        whole.start = format_date(first);
        whole.end = format_date(last);
    } else {
        icaltimetype start = wall_in(instant_of(wanted.start, context.home), context.home);
        start.year = first.year;
        start.month = first.month;
        start.day = first.day;
        auto length = instant_of(wanted.end, context.home) - instant_of(wanted.start, context.home);
        whole.start = format_in_home(start, context.home);
        whole.end = format_in_home(wall_in(instant_of(start, context.home) + length, context.home), context.home);
    }
    edit_whole(calendar, master, whole, context);
    if (occurrence.override_event)
        if (auto own = span_of(occurrence.override_event, calendar, context.home))
            retime(calendar, occurrence.override_event, *own, wanted, context);
}

}  // namespace

icaltimezone* series_zone(const Span& series, const EditContext& context)
{
    if (series.start.is_date)
        return context.home;
    if (is_utc(series.start))
        return icaltimezone_get_utc_timezone();
    return series.start.zone ? const_cast<icaltimezone*>(series.start.zone) : context.home;
}

void edit_series_at(icalcomponent* calendar, icalcomponent* master, const Span& series, const Occurrence& occurrence,
                    const EventFields& fields, const EditContext& context)
{
    if (times_given(fields)) {
        Span wanted = resolve_times(fields, occurrence.shown, context);
        if (wanted.start.is_date != series.start.is_date) {
            switch_series_kind(calendar, master, series, occurrence, wanted, context);
            return edit_series_texts(master, occurrence, fields);
        }
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
    edit_series_texts(master, occurrence, fields);
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

void drop_unproduced_exceptions(icalcomponent* calendar, icalcomponent* master, const EditContext& context)
{
    auto span = span_of(master, calendar, context.home);
    if (!span)
        return;
    std::vector<std::pair<icalproperty*, icalcomponent*>> named;  // EXDATEs of the master, overrides' RECURRENCE-IDs
    for (icalproperty* p : properties_of(master, ICAL_EXDATE_PROPERTY))
        named.emplace_back(p, master);
    for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT))
        if (icalproperty* rid = icalcomponent_get_first_property(e, ICAL_RECURRENCEID_PROPERTY); rid && e != master)
            named.emplace_back(rid, e);
    auto last = instant_of(span->start, context.home);
    for (const auto& [property, event] : named)
        last = std::max(last, instant_of(read_time(property, calendar, context.home), context.home));

    // The series as it will be read once stored (libical's iterator does not
    // always take a rule changed in memory as it takes the same rule read
    // from text), from its start on (a COUNT counts from there), nothing
    // excluded, keyed as listed.
    char* text = icalcomponent_as_ical_string_r(calendar);
    IcalPtr plain = parse_calendar(text ? text : "");
    icalmemory_free_buffer(text);
    drop_occurrence_exceptions(plain.get(), master_event(plain.get()));
    std::vector<EventRecord> listed;
    const auto margin = std::chrono::hours(48);
    expand_resource(plain.get(), { "", "" }, { instant_of(span->start, context.home) - margin, last + margin },
                    context.home, listed);
    std::set<std::string> produced;
    for (const auto& record : listed)
        produced.insert(record.recurrence_id);

    for (const auto& [property, event] : named) {
        icaltimetype value = read_time(property, calendar, context.home);
        if (!icaltime_is_null_time(value) && produced.count(format_in_home(value, context.home)))
            continue;
        if (event == master) {
            remove_property(master, property);
        } else {
            icalcomponent_remove_component(calendar, event);
            icalcomponent_free(event);
        }
    }
}

}  // namespace wrenfold::caldav::edit
