#include "caldav/ical_time.h"

#include "caldav/engine.h"
#include "caldav/windows_zones.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>

namespace wrenfold::caldav {
namespace {

// libical publishes its table of built-in zones before filling it, on first
// use, and looks zones up without a lock: a sync thread and a query thread
// that both come first can read a half-built table (a wrong offset, or a
// crash). The table is built here, before main, while there is one thread.
[[maybe_unused]] const bool zone_table_built = icaltimezone_get_builtin_timezones() != nullptr;

// A name the table does not list but the zone files hold is added to the
// table by the lookup itself, so lookups take turns.
icaltimezone* builtin_zone(const char* location)
{
    static std::mutex lookups;
    std::scoped_lock turn(lookups);
    return icaltimezone_get_builtin_timezone(location);
}

// Clients prefix IANA names ("/freeassociation.sourceforge.net/Asia/Taipei",
// "/mozilla.org/20050126_1/Europe/Berlin"); the zone is what follows the
// prefix, so try each suffix that starts after a "/".
icaltimezone* builtin_zone_named(const char* tzid)
{
    if (!tzid || !*tzid)
        return nullptr;
    if (auto* zone = builtin_zone(tzid))
        return zone;
    for (const char* slash = std::strchr(tzid, '/'); slash; slash = std::strchr(slash + 1, '/'))
        if (slash[1] && std::strchr(slash + 1, '/'))
            if (auto* zone = builtin_zone(slash + 1))
                return zone;
    return nullptr;
}

// A zone the object defines wins over a Windows name of the same text.
icaltimezone* zone_for_tzid(const char* tzid, icalcomponent* calendar)
{
    if (auto* zone = builtin_zone_named(tzid))
        return zone;
    if (!tzid)
        return nullptr;
    if (calendar)
        if (auto* zone = icalcomponent_get_timezone(calendar, tzid))
            return zone;
    std::string_view iana = iana_for_windows_zone(tzid);
    return iana.empty() ? nullptr : builtin_zone(std::string(iana).c_str());
}

// "+08:00", "+0800", "+08" or the same with "-"; seconds east of UTC.
std::optional<int> parse_utc_offset(const std::string& text)
{
    if (text.size() < 3 || (text[0] != '+' && text[0] != '-'))
        return std::nullopt;
    std::string digits;
    for (size_t i = 1; i < text.size(); ++i) {
        if (text[i] == ':' && i == 3)
            continue;
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        digits += text[i];
    }
    if (digits.size() != 2 && digits.size() != 4)
        return std::nullopt;
    int hours = std::stoi(digits.substr(0, 2));
    int minutes = digits.size() == 4 ? std::stoi(digits.substr(2)) : 0;
    if (hours > 23 || minutes > 59)
        return std::nullopt;
    return (hours * 3600 + minutes * 60) * (text[0] == '-' ? -1 : 1);
}

// The parser takes any digits: a 13th month or a 32nd day is no time at all.
bool is_calendar_time(icaltimetype time)
{
    return time.year >= 1 && time.month >= 1 && time.month <= 12 && time.day >= 1 &&
        time.day <= icaltime_days_in_month(time.month, time.year) && time.hour >= 0 && time.hour <= 23 &&
        time.minute >= 0 && time.minute <= 59 && time.second >= 0 && time.second <= 60;
}

}  // namespace

std::string_view iana_for_windows_zone(std::string_view windows_name)
{
    auto found = std::lower_bound(kWindowsZones.begin(), kWindowsZones.end(), windows_name,
                                  [](const WindowsZone& zone, std::string_view name) { return zone.windows < name; });
    return found != kWindowsZones.end() && found->windows == windows_name ? found->iana : std::string_view {};
}

icaltimezone* home_zone_for(const std::string& tzid)
{
    if (tzid == "UTC" || tzid == "Etc/UTC")
        return icaltimezone_get_utc_timezone();
    auto* zone = builtin_zone(tzid.c_str());
    if (!zone)
        throw CalDavError("unknown time zone: " + tzid);
    return zone;
}

icaltimetype attach_zone(icaltimetype value, icalproperty* property, icalcomponent* calendar, icaltimezone* home)
{
    if (value.is_date) {
        value.zone = nullptr;
        return value;
    }
    if (icaltime_is_utc(value))
        return value;
    icalparameter* tzid = property ? icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER) : nullptr;
    icaltimezone* zone = tzid ? zone_for_tzid(icalparameter_get_tzid(tzid), calendar) : nullptr;
    value.zone = zone ? zone : home;
    return value;
}

icaltimetype read_time(icalproperty* property, icalcomponent* calendar, icaltimezone* home)
{
    icalvalue* value = icalproperty_get_value(property);
    if (!value)
        return icaltime_null_time();
    icalvalue_kind kind = icalvalue_isa(value);
    if (kind != ICAL_DATETIME_VALUE && kind != ICAL_DATE_VALUE)
        return icaltime_null_time();
    icaltimetype time = icalvalue_get_datetime(value);
    if (icaltime_is_null_time(time) || !icaltime_is_valid_time(time) || !is_calendar_time(time))
        return icaltime_null_time();
    return attach_zone(time, property, calendar, home);
}

long long wall_seconds(icaltimetype value)
{
    value.is_date = 0;
    value.zone = nullptr;
    return static_cast<long long>(icaltime_as_timet_with_zone(value, icaltimezone_get_utc_timezone()));
}

icaltimetype wall_in(std::chrono::sys_seconds instant, icaltimezone* zone)
{
    icaltimetype wall = icaltime_from_timet_with_zone(instant.time_since_epoch().count(), 0, zone);
    wall.zone = zone;
    return wall;
}

std::chrono::sys_seconds instant_of(icaltimetype value, icaltimezone* home)
{
    icaltimezone* zone = value.is_date ? home : value.zone ? const_cast<icaltimezone*>(value.zone) : home;
    long long guess = icaltime_as_timet_with_zone(value, zone);
    if (zone == icaltimezone_get_utc_timezone())
        return std::chrono::sys_seconds(std::chrono::seconds(guess));
    const long long wanted = wall_seconds(value);
    auto offset_at = [&](long long instant) {
        return wall_seconds(wall_in(std::chrono::sys_seconds(std::chrono::seconds(instant)), zone)) - instant;
    };
    // A wall-clock time inside a gap does not come back from its instant: it
    // stands for the instant the offset before the change gives, which shows
    // the time moved forward by the gap.
    if (wanted - offset_at(guess) != guess)
        guess = wanted - offset_at(guess - 86400);
    // In a repeated hour the earlier instant is meant.
    long long before = offset_at(guess - 86400) - offset_at(guess);
    if (before > 0 && offset_at(guess - before) + guess - before == wanted)
        guess -= before;
    return std::chrono::sys_seconds(std::chrono::seconds(guess));
}

std::string format_date(icaltimetype value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", value.year % 10000, value.month % 100, value.day % 100);
    return text;
}

std::string format_in_home(icaltimetype value, icaltimezone* home)
{
    if (value.is_date)
        return format_date(value);
    icaltimetype wall = wall_in(instant_of(value, home), home);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", wall.year % 10000, wall.month % 100,
                  wall.day % 100, wall.hour % 100, wall.minute % 100, wall.second % 100);
    return text;
}

std::string own_zone_name(icaltimetype value, icaltimezone* home)
{
    auto* zone = const_cast<icaltimezone*>(value.zone);
    if (value.is_date || !zone || zone == home || zone == icaltimezone_get_utc_timezone())
        return {};
    const char* location = icaltimezone_get_location(zone);
    icaltimezone* named = location ? builtin_zone(location) : nullptr;
    if (!named)
        named = zone_for_tzid(icaltimezone_get_tzid(zone), nullptr);
    const char* name = named ? icaltimezone_get_location(named) : nullptr;
    if (!name || !*name || named == home || named == icaltimezone_get_utc_timezone())
        return {};
    const char* home_name = home ? icaltimezone_get_location(home) : nullptr;
    return home_name && std::strcmp(home_name, name) == 0 ? std::string {} : std::string(name);
}

std::chrono::sys_seconds home_midnight(std::chrono::year_month_day day, icaltimezone* home)
{
    icaltimetype time = icaltime_null_time();
    time.year = static_cast<int>(day.year());
    time.month = static_cast<int>(static_cast<unsigned>(day.month()));
    time.day = static_cast<int>(static_cast<unsigned>(day.day()));
    time.zone = home;
    return instant_of(time, home);
}

icaltimetype parse_input_time(const std::string& text, icaltimezone* home, const char* what)
{
    auto fail = [&]() -> icaltimetype {
        throw CalDavError(std::string("invalid ") + what + " time: \"" + text + "\"");
    };
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, consumed = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &consumed) != 3 || consumed != 10)
        return fail();
    icaltimetype time = icaltime_null_time();
    time.year = year;
    time.month = month;
    time.day = day;
    if (text.size() == 10) {
        time.is_date = 1;
        if (!icaltime_is_valid_time(time) || month < 1 || month > 12 || day < 1 ||
            day > icaltime_days_in_month(month, year))
            return fail();
        return time;
    }
    if (text[10] != 'T' && text[10] != ' ')
        return fail();
    size_t pos = 11;
    if (std::sscanf(text.c_str() + pos, "%2d:%2d%n", &hour, &minute, &consumed) != 2 || consumed != 5)
        return fail();
    pos += 5;
    if (pos < text.size() && text[pos] == ':') {
        if (std::sscanf(text.c_str() + pos + 1, "%2d%n", &second, &consumed) != 1 || consumed != 2)
            return fail();
        pos += 3;
        if (pos < text.size() && text[pos] == '.')
            for (++pos; pos < text.size() && text[pos] >= '0' && text[pos] <= '9';)
                ++pos;
    }
    if (month < 1 || month > 12 || day < 1 || day > icaltime_days_in_month(month, year) || hour > 23 || minute > 59 ||
        second > 60 || year < 1)
        return fail();
    time.hour = hour;
    time.minute = minute;
    time.second = second;
    std::string zone = text.substr(pos);
    if (zone.empty()) {
        time.zone = home;
        return time;
    }
    int offset_seconds = 0;
    if (zone != "Z" && zone != "z") {
        auto offset = parse_utc_offset(zone);
        if (!offset)
            return fail();
        offset_seconds = *offset;
    }
    time.zone = icaltimezone_get_utc_timezone();
    time_t utc = icaltime_as_timet_with_zone(time, icaltimezone_get_utc_timezone()) - offset_seconds;
    icaltimetype wall = icaltime_from_timet_with_zone(utc, 0, home);
    wall.zone = home;
    return wall;
}

}  // namespace wrenfold::caldav
