#pragma once

#include <chrono>
#include <optional>

namespace wrenfold {

// The Chinese lunisolar calendar as kept in Taiwan and China (months begin on the day of the new
// moon at UTC+8), tabulated for the lunar years below. Lunar year Y is the one whose first day falls
// in Gregorian year Y.
inline constexpr int first_lunar_year = 1998;
inline constexpr int last_lunar_year = 2100;

// First day of the first month of lunar year `year`; nullopt outside the table.
std::optional<std::chrono::year_month_day> lunar_new_year(int year);

// Gregorian date of day `day` of the ordinary (not leap) month `month` of lunar year `year`; nullopt
// when the year is outside the table or the month has no such day.
std::optional<std::chrono::year_month_day> lunar_to_gregorian(int year, unsigned month, unsigned day);

struct LunarDate {
    int year = 0;
    unsigned month = 0;  // 1..12; a leap month has the number of the month it repeats
    unsigned day = 0;    // 1..30
    bool leap = false;
    bool operator==(LunarDate const&) const = default;
};

// The lunar date of a Gregorian day; nullopt outside the table.
std::optional<LunarDate> gregorian_to_lunar(std::chrono::year_month_day date);

// The leap month of lunar year `year` repeats this month number; 0 when the year has none or is
// outside the table.
unsigned lunar_leap_month(int year);

}  // namespace wrenfold
