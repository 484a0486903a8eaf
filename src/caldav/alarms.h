#pragma once

#include "caldav/ical_events.h"
#include "caldav/results.h"

#include <string_view>
#include <vector>

namespace wrenfold::caldav {

// The property that marks a VALARM this program wrote: an edit of the alerts
// rewrites these and the foreign ones the editor shows, and leaves the rest.
inline constexpr const char* kOwnAlarmProperty = "X-WRENFOLD-ALARM";

// The VALARMs of one event (or override) for the occurrence `occurrence`.
// Relative triggers count from the occurrence's start or end; an all-day
// occurrence starts at midnight of its day in the home zone. Whole days and
// weeks of a trigger are counted on the wall clock of the event's zone, so
// a day before stays at the same time of day across a DST change; hours,
// minutes and seconds are exact (RFC 5545 §3.3.6).
std::vector<AlarmRecord> alarms_of(icalcomponent* event, const Span& occurrence, icaltimezone* home);

// False only when the object's text cannot hold a VALARM (names are matched
// in any case), so that a listing for alarms parses none of the rest.
bool may_have_alarms(std::string_view ics);

// Whether the action is one this program delivers; others are kept only.
bool is_delivered_action(const std::string& action);

// The alerts the editor offers, in minutes before the start: for timed
// events, and for all-day ones (counted from the day's midnight: on the day
// at 09:00 is -540).
bool is_alert_choice(long long minutes_before, bool all_day);

// Sets the alerts the editor shows to `minutes_before`. An alert already
// there for a wanted time stays as written; a choice-shaped alert no longer
// wanted goes; each wanted time left gets a new VALARM marked as ours. A
// time that is not a choice for the event's kind is a CalDavError.
// Alarms the editor cannot show (other actions, times relative to the end,
// absolute or repeated, other offsets) are left untouched. True when
// something changed.
bool set_alerts(icalcomponent* event, const std::vector<long long>& minutes_before);

}  // namespace wrenfold::caldav
