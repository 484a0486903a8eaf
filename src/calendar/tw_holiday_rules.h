#pragma once

#include "calendar/tw_holiday_names.h"

#include <chrono>
#include <vector>

namespace wrenfold {

// One day off of a holiday year, before days sharing a date are merged.
struct DayOff {
    enum class Type : std::uint8_t { Holiday, Observed, Bridge };

    std::chrono::sys_days date;
    Type type;
    HolidayKind holiday;                // for holiday and observed days
    std::chrono::sys_days make_up_day;  // for bridge days
};

// Years whose holidays are known exactly: the lunar and solar-term tables cover them.
inline constexpr int first_holiday_year = 1998;
inline constexpr int last_holiday_year = 2100;

// The days off that the holidays of `year` give: the holidays themselves, their observed days and
// the bridge days decreed for that year, in no particular order. An observed day can fall in the
// year before (31 December for a 1 January on a Saturday). Lunar holidays are left out of years the
// tables do not cover; before first_holiday_year there is nothing.
std::vector<DayOff> days_off_of_year(int year);

}  // namespace wrenfold
