#include "caldav/ical_edit_steps.h"

#include "caldav/engine.h"
#include "caldav/ical_events.h"

#include <vector>

namespace wrenfold::caldav::edit {

namespace {

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

}  // namespace

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

void edit_occurrence(icalcomponent* calendar, icalcomponent* master, Occurrence occurrence, const EventFields& fields,
                     const EditContext& context)
{
    Span wanted = times_given(fields) ? resolve_times(fields, occurrence.shown, context) : occurrence.shown;
    bool created = occurrence.override_event == nullptr;
    if (created)
        occurrence.override_event = new_override(calendar, master, occurrence, context);
    bool changed = retime(calendar, occurrence.override_event, occurrence.shown, wanted, context);
    changed |= apply_texts(occurrence.override_event, fields, false);
    if (created && !changed) {
        icalcomponent_remove_component(calendar, occurrence.override_event);
        icalcomponent_free(occurrence.override_event);
    }
}

}  // namespace wrenfold::caldav::edit
