#include "caldav/ical_edit.h"

#include "caldav/engine.h"
#include "caldav/ical_edit_steps.h"
#include "caldav/ical_events.h"

#include <map>
#include <vector>

namespace wrenfold::caldav {

using namespace edit;

namespace {

// How each event read before the edit: as a whole, and its times and rule.
struct EventBefore {
    std::string whole;
    std::string timing;
};
using EventsBefore = std::map<icalcomponent*, EventBefore>;

std::string component_text(icalcomponent* component)
{
    char* text = icalcomponent_as_ical_string_r(component);
    std::string out = text ? text : "";
    icalmemory_free_buffer(text);
    return out;
}

std::string texts_of(icalcomponent* event, std::initializer_list<icalproperty_kind> kinds)
{
    std::string out;
    for (icalproperty_kind kind : kinds)
        for (icalproperty* p : properties_of(event, kind)) {
            char* text = icalproperty_as_ical_string_r(p);
            out += text ? text : "";
            icalmemory_free_buffer(text);
        }
    return out;
}

std::string timing_text(icalcomponent* event)
{
    return texts_of(event,
                    { ICAL_DTSTART_PROPERTY, ICAL_DTEND_PROPERTY, ICAL_DURATION_PROPERTY, ICAL_RRULE_PROPERTY,
                      ICAL_RDATE_PROPERTY, ICAL_EXDATE_PROPERTY, ICAL_EXRULE_PROPERTY, ICAL_RECURRENCEID_PROPERTY });
}

EventsBefore events_before(icalcomponent* calendar)
{
    EventsBefore before;
    for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT))
        before[e] = { component_text(e), timing_text(e) };
    return before;
}

// An override made by this edit: moved or resized against the occurrence it
// was copied from.
bool moved_from_its_occurrence(icalcomponent* calendar, icalcomponent* master, icalcomponent* event,
                               const EditContext& context)
{
    icalproperty* rid = icalcomponent_get_first_property(event, ICAL_RECURRENCEID_PROPERTY);
    auto own = span_of(event, calendar, context.home);
    auto series = span_of(master, calendar, context.home);
    if (!rid || !own || !series || event == master)
        return true;
    auto length = [&](const Span& span) {
        return instant_of(span.end, context.home) - instant_of(span.start, context.home);
    };
    return !same_time(own->start, read_time(rid, calendar, context.home), context.home) ||
        length(*own) != length(*series);
}

// RFC 5545 §3.8.7.4 and RFC 5546 §2.1.4: SEQUENCE rises for a significant
// change (time or rule), so that attendees' copies know the stored one is
// newer; a new title or note is no reason to ask them again.
void raise_sequence(icalcomponent* event)
{
    icalproperty* sequence = icalcomponent_get_first_property(event, ICAL_SEQUENCE_PROPERTY);
    int next = sequence ? icalproperty_get_sequence(sequence) + 1 : 1;
    remove_all(event, ICAL_SEQUENCE_PROPERTY);
    icalcomponent_add_property(event, icalproperty_new_sequence(next < 1 ? 1 : next));
}

// Stamps the events that changed (an override gone changes no other);
// events the edit left alone stay as written.
void finish_edit(icalcomponent* calendar, icalcomponent* master, const EventsBefore& before, const EditContext& context)
{
    add_home_timezone(calendar, context);
    for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
        auto was = before.find(e);
        bool added = was == before.end();
        if (!added && was->second.whole == component_text(e))
            continue;
        if (added ? moved_from_its_occurrence(calendar, master, e, context) : was->second.timing != timing_text(e))
            raise_sequence(e);
        set_stamp(e, ICAL_DTSTAMP_PROPERTY, context.now);
        set_stamp(e, ICAL_LASTMODIFIED_PROPERTY, context.now);
    }
}

// In an object that holds only overrides (an invitation to some occurrences
// of a series kept elsewhere), the event listed with this recurrence id.
icalcomponent* override_alone(icalcomponent* calendar, const std::string& recurrence_id, const EditContext& context)
{
    for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT))
        if (!icalcomponent_get_first_property(e, ICAL_RECURRENCEID_PROPERTY))
            return nullptr;
    for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
        icaltimetype id =
            read_time(icalcomponent_get_first_property(e, ICAL_RECURRENCEID_PROPERTY), calendar, context.home);
        if (!icaltime_is_null_time(id) && format_in_home(id, context.home) == recurrence_id)
            return e;
    }
    return nullptr;
}

bool changes_later_occurrences(icalcomponent* event)
{
    icalproperty* rid = icalcomponent_get_first_property(event, ICAL_RECURRENCEID_PROPERTY);
    icalparameter* range = rid ? icalproperty_get_first_parameter(rid, ICAL_RANGE_PARAMETER) : nullptr;
    return range && icalparameter_get_range(range) == ICAL_RANGE_THISANDFUTURE;
}

}  // namespace

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
    const EventsBefore before = events_before(calendar);
    bool series = repeats(master) && !icalcomponent_get_first_property(master, ICAL_RECURRENCEID_PROPERTY);
    const std::string rule_before = texts_of(master, { ICAL_RRULE_PROPERTY });
    if (!series && fields.recurrence_id)
        if (icalcomponent* own = override_alone(calendar, *fields.recurrence_id, context))
            master = own;
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
    if (fields.tzid) {
        if (series || repeats(master))
            throw CalDavError("a repeating event keeps its time zone");
        move_to_zone(calendar, master, *fields.tzid, context);
    }
    if (series && !repeats(master))
        drop_occurrence_exceptions(calendar, master);
    else if (series && texts_of(master, { ICAL_RRULE_PROPERTY }) != rule_before)
        drop_unproduced_exceptions(calendar, master, context);
    finish_edit(calendar, master, before, context);
}

bool remove_occurrence(icalcomponent* calendar, const std::string& recurrence_id, const EditContext& context)
{
    icalcomponent* master = master_event(calendar);
    if (!master)
        throw CalDavError("the resource holds no event");
    if (icalcomponent* own = override_alone(calendar, recurrence_id, context)) {
        icalcomponent_remove_component(calendar, own);
        icalcomponent_free(own);
        return master_event(calendar) == nullptr;
    }
    if (!repeats(master) || icalcomponent_get_first_property(master, ICAL_RECURRENCEID_PROPERTY))
        throw CalDavError("the event does not repeat");
    auto span = span_of(master, calendar, context.home);
    if (!span)
        throw CalDavError("the event has no start time");
    Occurrence occurrence = find_occurrence(calendar, master, *span, recurrence_id, context);
    const EventsBefore before = events_before(calendar);
    // An override for this and the following occurrences still changes the
    // later ones: only the occurrence itself is excluded.
    while (auto found = override_for(calendar, master, occurrence.original, context.home)) {
        if (changes_later_occurrences(*found))
            break;
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
    finish_edit(calendar, master, before, context);
    return false;
}

}  // namespace wrenfold::caldav
