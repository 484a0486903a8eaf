#include "caldav/ical_edit.h"

#include "caldav/engine.h"
#include "caldav/ical_edit_steps.h"
#include "caldav/ical_events.h"

#include <vector>

namespace wrenfold::caldav {

using namespace edit;

namespace {

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
