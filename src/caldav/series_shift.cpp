#include "caldav/series_shift.h"

#include "caldav/engine.h"
#include "caldav/ical_events.h"

#include <vector>

namespace wrenfold::caldav {
namespace {

icaltimetype plus_wall(icaltimetype time, long long seconds)
{
    icaltime_adjust(&time, static_cast<int>(seconds / 86400), 0, 0, static_cast<int>(seconds % 86400));
    return time;
}

long long days_between(icaltimetype from, icaltimetype to)
{
    icaltimetype a = from, b = to;
    a.hour = a.minute = a.second = 0;
    b.hour = b.minute = b.second = 0;
    return (wall_seconds(b) - wall_seconds(a)) / 86400;
}

template <size_t N> std::vector<short*> used(short (&values)[N])
{
    std::vector<short*> out;
    for (size_t i = 0; i < N && values[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i)
        out.push_back(&values[i]);
    return out;
}

[[noreturn]] void refuse()
{
    throw CalDavError(
        "this repeating event's rule cannot be moved that way as a whole; move this occurrence alone or edit the rule");
}

void require(bool condition)
{
    if (!condition)
        refuse();
}

// A day of the month moved by `days` names the same day in every month only
// while both ends lie in 1..28.
short moved_month_day(short day, long long days)
{
    require(day >= 1 && day <= 28 && day + days >= 1 && day + days <= 28);
    return static_cast<short>(day + days);
}

short moved_weekday(short encoded, long long days)
{
    require(icalrecurrencetype_day_position(encoded) == 0);  // "last Friday" + 1 day is no weekday rule
    int weekday = static_cast<int>(icalrecurrencetype_day_day_of_week(encoded)) - 1;  // 0 = Sunday
    return static_cast<short>(((weekday + days) % 7 + 7) % 7 + 1);
}

// The rule as it must read after the move; `old_start` is the series'
// DTSTART before it (its wall clock in the series' zone).
void move_rule(icalrecurrencetype& rule, icaltimetype old_start, const SeriesShift& shift)
{
    if (shift.seconds == 0)
        return;
    const icaltimetype new_start = plus_wall(old_start, shift.seconds);
    const long long days = old_start.is_date ? shift.seconds / 86400 : days_between(old_start, new_start);
    if (rule.freq == ICAL_HOURLY_RECURRENCE || rule.freq == ICAL_MINUTELY_RECURRENCE ||
        rule.freq == ICAL_SECONDLY_RECURRENCE) {
        require(used(rule.by_day).empty() && used(rule.by_month_day).empty() && used(rule.by_month).empty() &&
                used(rule.by_year_day).empty() && used(rule.by_week_no).empty() && used(rule.by_set_pos).empty() &&
                used(rule.by_hour).empty() && used(rule.by_minute).empty() && used(rule.by_second).empty());
    }
    if (shift.seconds % 86400 != 0)
        require(used(rule.by_hour).empty() && used(rule.by_minute).empty() && used(rule.by_second).empty());
    if (days != 0) {
        require(used(rule.by_year_day).empty() && used(rule.by_week_no).empty() && used(rule.by_set_pos).empty());
        auto weekdays = used(rule.by_day);
        require(weekdays.empty() || used(rule.by_month).empty());
        require(rule.freq != ICAL_WEEKLY_RECURRENCE || rule.interval <= 1 || weekdays.size() <= 1);
        for (short* day : weekdays)
            *day = moved_weekday(*day, days);
        auto month_days = used(rule.by_month_day);
        for (short* day : month_days)
            *day = moved_month_day(*day, days);
        bool day_from_start = weekdays.empty() && month_days.empty();
        if (day_from_start && (rule.freq == ICAL_MONTHLY_RECURRENCE || rule.freq == ICAL_YEARLY_RECURRENCE))
            moved_month_day(static_cast<short>(old_start.day), days);
        if (rule.freq == ICAL_YEARLY_RECURRENCE || !used(rule.by_month).empty())
            require(new_start.month == old_start.month);
    }
    if (!icaltime_is_null_time(rule.until)) {
        icaltimetype until = rule.until;
        if (until.is_date) {
            icaltime_adjust(&until, static_cast<int>(days), 0, 0, 0);
        } else {
            // UNTIL in UTC: moved on the series' wall clock, then back to UTC.
            bool utc = icaltime_is_utc(until) || until.zone == icaltimezone_get_utc_timezone();
            if (utc)
                until.zone = icaltimezone_get_utc_timezone();
            else
                until.zone = shift.zone;
            until = shifted_time(until, shift);
            if (utc)
                until = wall_in(instant_of(until, shift.home), icaltimezone_get_utc_timezone());
        }
        rule.until = until;
    }
}

void set_time(icalproperty* property, icaltimetype time)
{
    bool utc = time.zone == icaltimezone_get_utc_timezone();
    if (!utc)
        time.zone = nullptr;
    icalproperty_set_value(property, time.is_date ? icalvalue_new_date(time) : icalvalue_new_datetime(time));
}

}  // namespace

icaltimetype shifted_time(icaltimetype value, const SeriesShift& shift)
{
    if (value.is_date)
        return plus_wall(value, shift.seconds / 86400 * 86400);
    icaltimezone* own = value.zone ? const_cast<icaltimezone*>(value.zone) : shift.home;
    icaltimetype wall = own == shift.zone ? value : wall_in(instant_of(value, shift.home), shift.zone);
    wall = plus_wall(wall, shift.seconds);
    wall.zone = shift.zone;
    if (own == shift.zone)
        return wall;
    return wall_in(instant_of(wall, shift.home), own);
}

void shift_property(icalproperty* property, icalcomponent* calendar, const SeriesShift& shift)
{
    icalvalue* value = icalproperty_get_value(property);
    if (!value)
        return;
    if (icalvalue_isa(value) == ICAL_PERIOD_VALUE) {
        icalperiodtype period = icalvalue_get_period(value);
        period.start = attach_zone(period.start, property, calendar, shift.home);
        icaltimetype start = shifted_time(period.start, shift);
        if (!icaltime_is_null_time(period.end)) {
            period.end = attach_zone(period.end, property, calendar, shift.home);
            period.end = shifted_time(period.end, shift);
            if (period.end.zone != icaltimezone_get_utc_timezone())
                period.end.zone = nullptr;
        }
        if (start.zone != icaltimezone_get_utc_timezone())
            start.zone = nullptr;
        period.start = start;
        icalproperty_set_value(property, icalvalue_new_period(period));
        return;
    }
    icaltimetype time = read_time(property, calendar, shift.home);
    if (icaltime_is_null_time(time))
        return;
    set_time(property, shifted_time(time, shift));
}

void shift_series(icalcomponent* calendar, icalcomponent* master, const SeriesShift& shift)
{
    if (shift.seconds == 0)
        return;
    icalproperty* dtstart = icalcomponent_get_first_property(master, ICAL_DTSTART_PROPERTY);
    icaltimetype start = dtstart ? read_time(dtstart, calendar, shift.home) : icaltime_null_time();
    if (icaltime_is_null_time(start))
        throw CalDavError("the event has no start time");
    icaltimetype start_wall = start;
    if (!start.is_date && start.zone != shift.zone)
        start_wall = wall_in(instant_of(start, shift.home), shift.zone);

    // Every rule is checked before anything is written.
    auto rules = properties_of(master, ICAL_RRULE_PROPERTY);
    std::vector<icalrecurrencetype> moved;
    for (icalproperty* p : rules) {
        icalrecurrencetype rule = icalproperty_get_rrule(p);
        move_rule(rule, start_wall, shift);
        moved.push_back(rule);
    }
    for (size_t i = 0; i < rules.size(); ++i)
        icalproperty_set_rrule(rules[i], moved[i]);

    // A date among the times of a timed series (an EXDATE;VALUE=DATE) names
    // the day its occurrence falls on: it moves by the days that the start
    // crosses, which a shift of a few hours over midnight makes one.
    const SeriesShift by_days { start.is_date ? shift.seconds
                                              : days_between(start_wall, plus_wall(start_wall, shift.seconds)) * 86400,
                                shift.zone, shift.home };
    auto move = [&](icalproperty* p) {
        icalvalue* value = icalproperty_get_value(p);
        bool date = value && icalvalue_isa(value) == ICAL_DATE_VALUE;
        shift_property(p, calendar, date ? by_days : shift);
    };
    for (icalproperty_kind kind :
         { ICAL_DTSTART_PROPERTY, ICAL_DTEND_PROPERTY, ICAL_RDATE_PROPERTY, ICAL_EXDATE_PROPERTY })
        for (icalproperty* p : properties_of(master, kind))
            move(p);
    for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
        if (e == master)
            continue;
        for (icalproperty_kind kind : { ICAL_RECURRENCEID_PROPERTY, ICAL_DTSTART_PROPERTY, ICAL_DTEND_PROPERTY })
            for (icalproperty* p : properties_of(e, kind))
                move(p);
    }
}

}  // namespace wrenfold::caldav
