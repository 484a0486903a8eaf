#pragma once

// The steps an edit of a stored calendar is made of, shared by the files
// that make up ical_edit.cpp. Each step changes the parsed calendar in place.

#include "caldav/fields.h"
#include "caldav/ical_edit.h"
#include "caldav/ical_events.h"

#include <chrono>
#include <optional>
#include <string>

namespace wrenfold::caldav::edit {

// Values (ical_edit_values.cpp)
void remove_property(icalcomponent* component, icalproperty* property);
void remove_all(icalcomponent* component, icalproperty_kind kind);
bool is_utc(icaltimetype time);
void set_time_value(icalproperty* property, icaltimetype time);
icaltimetype utc_time(std::chrono::sys_seconds instant);
void set_stamp(icalcomponent* event, icalproperty_kind kind, std::chrono::sys_seconds now);
icaltimetype as_date(icaltimetype time);
icaltimetype as_timed(icaltimetype time, icaltimezone* home);
bool same_time(icaltimetype a, icaltimetype b, icaltimezone* home);

// Texts, rules and the editor's alerts (ical_edit_texts.cpp): true when
// something changed.
bool apply_texts(icalcomponent* event, const EventFields& fields, bool with_rule);

// Times (ical_edit_times.cpp)
void add_home_timezone(icalcomponent* calendar, const EditContext& context);
void write_time(icalproperty* property, icaltimetype wanted, icalproperty* form, icalcomponent* calendar,
                const EditContext& context);
Span resolve_times(const EventFields& fields, const std::optional<Span>& stored, const EditContext& context);
bool times_given(const EventFields& fields);
void write_end(icalcomponent* calendar, icalcomponent* event, icaltimetype end, const EditContext& context);
bool retime(icalcomponent* calendar, icalcomponent* event, const Span& current, const Span& wanted,
            const EditContext& context);
// The event's times keep the wall clock they show (in their own zone, or the
// home zone for UTC and floating times) and take the zone `tzid`: 09:00 in
// New York becomes 09:00 in London. Dates have no zone and stay.
void move_to_zone(icalcomponent* calendar, icalcomponent* event, const std::string& tzid, const EditContext& context);

// Occurrences and their overrides (ical_edit_overrides.cpp)
struct Occurrence {
    icaltimetype original;  // its RECURRENCE-ID: in the series' zone, or a date
    icalcomponent* override_event;
    Span shown;
};
std::optional<icalcomponent*> override_for(icalcomponent* calendar, icalcomponent* master, icaltimetype original,
                                           icaltimezone* home);
Occurrence find_occurrence(icalcomponent* calendar, icalcomponent* master, const Span& series,
                           const std::string& recurrence_id, const EditContext& context);
void edit_occurrence(icalcomponent* calendar, icalcomponent* master, Occurrence occurrence, const EventFields& fields,
                     const EditContext& context);

// The series and the whole event (ical_edit_series.cpp)
icaltimezone* series_zone(const Span& series, const EditContext& context);
void edit_series_at(icalcomponent* calendar, icalcomponent* master, const Span& series, const Occurrence& occurrence,
                    const EventFields& fields, const EditContext& context);
void edit_whole(icalcomponent* calendar, icalcomponent* master, const EventFields& fields, const EditContext& context);
void drop_occurrence_exceptions(icalcomponent* calendar, icalcomponent* master);
// After a new rule: the excluded dates and overrides that name none of its
// occurrences go; an override of no occurrence would show as an event of
// its own, and an excluded date would hide an occurrence the rule may gain.
void drop_unproduced_exceptions(icalcomponent* calendar, icalcomponent* master, const EditContext& context);

}  // namespace wrenfold::caldav::edit
