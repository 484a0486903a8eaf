#include "caldav/alarms.h"

#include "caldav/engine.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace wrenfold::caldav {
namespace {

using std::chrono::sys_seconds;

constexpr int kMaxRepeats = 100;  // a hostile REPEAT must not flood the schedule

std::string property_text(icalproperty* property)
{
    char* text = icalproperty_get_value_as_string_r(property);
    std::string out = text ? text : "";
    icalmemory_free_buffer(text);
    return out;
}

std::string action_of(icalcomponent* alarm)
{
    icalproperty* action = icalcomponent_get_first_property(alarm, ICAL_ACTION_PROPERTY);
    if (!action)
        return {};
    // X- and other unknown actions come back as their text.
    return property_text(action);
}

icalproperty* x_property(icalcomponent* component, const char* name)
{
    for (icalproperty* p = icalcomponent_get_first_property(component, ICAL_X_PROPERTY); p;
         p = icalcomponent_get_next_property(component, ICAL_X_PROPERTY))
        if (const char* x_name = icalproperty_get_x_name(p); x_name && strcasecmp(x_name, name) == 0)
            return p;
    return nullptr;
}

std::optional<sys_seconds> utc_instant(const std::string& text)
{
    icaltimetype time = icaltime_from_string(text.c_str());
    icalerror_clear_errno();
    if (icaltime_is_null_time(time) || !icaltime_is_valid_time(time))
        return std::nullopt;
    time.zone = icaltimezone_get_utc_timezone();
    return instant_of(time, icaltimezone_get_utc_timezone());
}

// What another program already acknowledged: the alarm's own ACKNOWLEDGED
// (RFC 9074) and the event's X-MOZ-LASTACK. Due times up to it are done.
std::optional<sys_seconds> acknowledged_until(icalcomponent* event, icalcomponent* alarm)
{
    std::optional<sys_seconds> until;
    auto take = [&](icalproperty* property) {
        if (!property)
            return;
        if (auto instant = utc_instant(property_text(property)); instant && (!until || *instant > *until))
            until = instant;
    };
    take(icalcomponent_get_first_property(alarm, ICAL_ACKNOWLEDGED_PROPERTY));
    take(x_property(event, "X-MOZ-LASTACK"));
    return until;
}

long long exact_seconds(const icaldurationtype& d)
{
    return static_cast<long long>(d.hours) * 3600 + static_cast<long long>(d.minutes) * 60 + d.seconds;
}

// `anchor` moved by a duration: days on the wall clock of the anchor's zone,
// the rest exactly. An all-day anchor is a day of the wall clock, not an
// instant: the whole duration is counted on it, so that nine hours after the
// day's midnight is 09:00 on a DST day too.
sys_seconds shifted(icaltimetype anchor, const icaldurationtype& d, icaltimezone* home)
{
    const int sign = d.is_neg ? -1 : 1;
    const int days = sign * static_cast<int>(d.weeks * 7 + d.days);
    if (anchor.is_date) {
        anchor.is_date = 0;
        anchor.hour = anchor.minute = anchor.second = 0;
        anchor.zone = home;
        icaltime_adjust(&anchor, days, sign * static_cast<int>(d.hours), sign * static_cast<int>(d.minutes),
                        sign * static_cast<int>(d.seconds));
        return instant_of(anchor, home);
    }
    icaltime_adjust(&anchor, days, 0, 0, 0);
    return instant_of(anchor, home) + std::chrono::seconds(sign * exact_seconds(d));
}

long long signed_seconds(const icaldurationtype& d)
{
    long long total = (static_cast<long long>(d.weeks) * 7 + d.days) * 86400 + exact_seconds(d);
    return d.is_neg ? -total : total;
}

struct Trigger {
    std::optional<sys_seconds> first;
    std::optional<long long> seconds_before;
    bool related_end = false;
    std::optional<sys_seconds> absolute;
};

Trigger read_trigger(icalproperty* property, const Span& occurrence, icaltimezone* home)
{
    Trigger out;
    icaltriggertype trigger = icalproperty_get_trigger(property);
    icalerror_clear_errno();
    if (!icaltime_is_null_time(trigger.time)) {
        icaltimetype time = trigger.time;
        if (!icaltime_is_valid_time(time))
            return out;
        // RFC 5545 §3.8.6.3: an absolute trigger is in UTC; a floating one
        // (seen from careless writers) is read in the home zone.
        time.zone = icaltime_is_utc(time) ? icaltimezone_get_utc_timezone() : home;
        out.absolute = out.first = instant_of(time, home);
        return out;
    }
    if (icaldurationtype_is_bad_duration(trigger.duration))
        return out;
    icalparameter* related = icalproperty_get_first_parameter(property, ICAL_RELATED_PARAMETER);
    out.related_end = related && icalparameter_get_related(related) == ICAL_RELATED_END;
    out.seconds_before = -signed_seconds(trigger.duration);
    out.first = shifted(out.related_end ? occurrence.end : occurrence.start, trigger.duration, home);
    return out;
}

std::vector<sys_seconds> due_times(const AlarmRecord& alarm, sys_seconds first, std::optional<sys_seconds> acknowledged)
{
    std::vector<sys_seconds> due;
    if (!is_delivered_action(alarm.action))
        return due;
    for (int n = 0; n <= alarm.repeat; ++n) {
        sys_seconds at = first + std::chrono::seconds(n * alarm.repeat_seconds);
        if (!acknowledged || at > *acknowledged)
            due.push_back(at);
    }
    return due;
}

constexpr std::array<long long, 10> kTimedChoices { 0, 5, 10, 15, 30, 60, 120, 1440, 2880, 10080 };
constexpr std::array<long long, 4> kAllDayChoices { -540, 900, 2340, 9540 };

bool starts_all_day(icalcomponent* event)
{
    icalproperty* dtstart = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
    return dtstart && icalproperty_get_dtstart(dtstart).is_date;
}

// The minutes before the start of an alarm the editor can show as a choice.
std::optional<long long> editable_minutes(icalcomponent* alarm, bool all_day)
{
    if (!is_delivered_action(action_of(alarm)) || icalcomponent_get_first_property(alarm, ICAL_REPEAT_PROPERTY))
        return std::nullopt;
    icalproperty* property = icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY);
    if (!property || icalcomponent_get_next_property(alarm, ICAL_TRIGGER_PROPERTY))
        return std::nullopt;
    icaltriggertype trigger = icalproperty_get_trigger(property);
    icalerror_clear_errno();
    if (!icaltime_is_null_time(trigger.time) || icaldurationtype_is_bad_duration(trigger.duration))
        return std::nullopt;
    icalparameter* related = icalproperty_get_first_parameter(property, ICAL_RELATED_PARAMETER);
    if (related && icalparameter_get_related(related) == ICAL_RELATED_END)
        return std::nullopt;
    long long seconds = -signed_seconds(trigger.duration);
    if (seconds % 60 != 0 || !is_alert_choice(seconds / 60, all_day))
        return std::nullopt;
    return seconds / 60;
}

icalcomponent* new_alert(long long minutes_before)
{
    icalcomponent* alarm = icalcomponent_new(ICAL_VALARM_COMPONENT);
    icalcomponent_add_property(alarm, icalproperty_new_action(ICAL_ACTION_DISPLAY));
    icaltriggertype trigger {};
    trigger.time = icaltime_null_time();
    trigger.duration = icaldurationtype_from_int(static_cast<int>(-minutes_before * 60));
    icalcomponent_add_property(alarm, icalproperty_new_trigger(trigger));
    // RFC 5545 §3.6.6: a DISPLAY alarm needs a DESCRIPTION.
    icalcomponent_add_property(alarm, icalproperty_new_description("Reminder"));
    icalproperty* own = icalproperty_new_x("1");
    icalproperty_set_x_name(own, kOwnAlarmProperty);
    icalcomponent_add_property(alarm, own);
    return alarm;
}

}  // namespace

bool is_alert_choice(long long minutes_before, bool all_day)
{
    if (all_day)
        return std::find(kAllDayChoices.begin(), kAllDayChoices.end(), minutes_before) != kAllDayChoices.end();
    return std::find(kTimedChoices.begin(), kTimedChoices.end(), minutes_before) != kTimedChoices.end();
}

bool set_alerts(icalcomponent* event, const std::vector<long long>& minutes_before)
{
    const bool all_day = starts_all_day(event);
    std::vector<long long> wanted;
    for (long long minutes : minutes_before) {
        if (!is_alert_choice(minutes, all_day))
            throw CalDavError("invalid alert: " + std::to_string(minutes) + " minutes before");
        if (std::find(wanted.begin(), wanted.end(), minutes) == wanted.end())
            wanted.push_back(minutes);
    }
    std::vector<icalcomponent*> unwanted;
    for (icalcomponent* alarm = icalcomponent_get_first_component(event, ICAL_VALARM_COMPONENT); alarm;
         alarm = icalcomponent_get_next_component(event, ICAL_VALARM_COMPONENT)) {
        auto minutes = editable_minutes(alarm, all_day);
        if (!minutes)
            continue;
        if (auto kept = std::find(wanted.begin(), wanted.end(), *minutes); kept != wanted.end())
            wanted.erase(kept);
        else
            unwanted.push_back(alarm);
    }
    for (icalcomponent* alarm : unwanted) {
        icalcomponent_remove_component(event, alarm);
        icalcomponent_free(alarm);
    }
    for (long long minutes : wanted)
        icalcomponent_add_component(event, new_alert(minutes));
    return !unwanted.empty() || !wanted.empty();
}

bool may_have_alarms(std::string_view ics)
{
    constexpr std::string_view kName = "VALARM";
    auto same_letter = [](char a, char b) { return (a & ~0x20) == b; };
    return std::search(ics.begin(), ics.end(), kName.begin(), kName.end(), same_letter) != ics.end();
}

bool is_delivered_action(const std::string& action)
{
    return action == "DISPLAY" || action == "AUDIO";
}

std::vector<AlarmRecord> alarms_of(icalcomponent* event, const Span& occurrence, icaltimezone* home)
{
    std::vector<AlarmRecord> out;
    for (icalcomponent* alarm = icalcomponent_get_first_component(event, ICAL_VALARM_COMPONENT); alarm;
         alarm = icalcomponent_get_next_component(event, ICAL_VALARM_COMPONENT)) {
        icalproperty* trigger_property = icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY);
        if (!trigger_property)
            continue;
        Trigger trigger = read_trigger(trigger_property, occurrence, home);
        if (!trigger.first)
            continue;
        AlarmRecord record;
        record.action = action_of(alarm);
        record.seconds_before = trigger.seconds_before;
        record.related_end = trigger.related_end;
        if (trigger.absolute)
            record.at = format_in_home(wall_in(*trigger.absolute, home), home);
        record.trigger = property_text(trigger_property);
        record.own = x_property(alarm, kOwnAlarmProperty) != nullptr;
        record.event_start = instant_of(occurrence.start, home);
        // RFC 5545 §3.6.6: REPEAT and DURATION come together or not at all.
        icalproperty* repeat = icalcomponent_get_first_property(alarm, ICAL_REPEAT_PROPERTY);
        icalproperty* interval = icalcomponent_get_first_property(alarm, ICAL_DURATION_PROPERTY);
        if (repeat && interval) {
            icaldurationtype step = icalproperty_get_duration(interval);
            long long seconds = icaldurationtype_is_bad_duration(step) ? 0 : signed_seconds(step);
            int count = icalproperty_get_repeat(repeat);
            if (seconds > 0 && count > 0) {
                record.repeat = count < kMaxRepeats ? count : kMaxRepeats;
                record.repeat_seconds = seconds;
            }
        }
        record.due = due_times(record, *trigger.first, acknowledged_until(event, alarm));
        out.push_back(std::move(record));
    }
    return out;
}

}  // namespace wrenfold::caldav
