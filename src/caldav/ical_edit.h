#pragma once

#include "caldav/content_lines.h"
#include "caldav/fields.h"
#include "caldav/ical_time.h"

#include <chrono>
#include <string>
#include <vector>

namespace wrenfold::caldav {

struct EditContext {
    icaltimezone* home;
    std::string home_tzid;
    std::chrono::sys_seconds now;
};

// A new VCALENDAR text for an event with these fields and this UID.
std::string new_event_ics(const EventFields& fields, const std::string& uid, const EditContext& context);

// Changes the stored calendar in place: only the fields given, everything
// else survives. SEQUENCE and DTSTAMP change only on the events that
// changed, SEQUENCE only where their time or rule did. Times come as wall clock in the home
// zone; one equal to the stored time is left as it was written, a changed
// one is written in the zone the event already uses. With a recurrence_id
// the change goes to that occurrence alone (an override), or with
// whole_series to the series, whose occurrences then all move alike.
void apply_fields(icalcomponent* calendar, const EventFields& fields, const EditContext& context);

// Takes one occurrence out of a series: an EXDATE, and its override gone
// unless it changes the later occurrences too (RANGE=THISANDFUTURE). In an
// object of overrides only, the event of that recurrence id goes; true when
// no event is left, and the object is to be deleted instead.
bool remove_occurrence(icalcomponent* calendar, const std::string& recurrence_id, const EditContext& context);

// "This and following events": the series in `calendar` ends before the
// occurrence (UNTIL), keeping its excluded dates and overrides before it;
// the object returned is a series of its own with `new_uid` that starts at
// that occurrence, with the later ones. Nothing when the occurrence is the
// series' first (the change is then one of the whole series).
IcalPtr split_series(icalcomponent* calendar, const std::string& recurrence_id, const std::string& new_uid,
                     const EditContext& context);

// Deleting "this and following events": the series ends before the
// occurrence (UNTIL in the kind its start is written in), its added dates
// and overrides from there on gone. True when nothing of it would be left,
// and the object is to be deleted instead.
bool end_series_before(icalcomponent* calendar, const std::string& recurrence_id, const EditContext& context);

// The calendar as text, without the error notes the parser leaves behind.
std::string serialize(icalcomponent* calendar);

// A stored object opened for an edit: its calendar, for apply_fields and
// remove_occurrence to change, and its text as written.
struct EditedObject {
    IcalPtr calendar;
    std::vector<RawComponent> written;
    std::vector<std::string> as_read;  // libical's text of each written component, before the edit
};
EditedObject open_for_edit(const std::string& text);

// The edited object as text: every line that the edit left alone exactly as
// it was written (values libical cannot read, parameters it would cut or
// merge, other programs' X- values), in overrides copied from the series
// too; a changed property keeps its parameters as written.
std::string write_back(const EditedObject& object);

}  // namespace wrenfold::caldav
