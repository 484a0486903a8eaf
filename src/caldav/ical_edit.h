#pragma once

#include "caldav/fields.h"
#include "caldav/ical_time.h"

#include <chrono>
#include <string>

namespace wrenfold::caldav {

struct EditContext {
    icaltimezone* home;
    std::string home_tzid;
    std::chrono::sys_seconds now;
};

// A new VCALENDAR text for an event with these fields and this UID.
std::string new_event_ics(const EventFields& fields, const std::string& uid, const EditContext& context);

// Changes the stored calendar in place: only the fields given, SEQUENCE
// rises, everything else survives. With a recurrence_id the change of start
// or end moves the whole series by the same amount.
void apply_fields(icalcomponent* calendar, const EventFields& fields, const EditContext& context);

std::string serialize(icalcomponent* calendar);

}  // namespace wrenfold::caldav
