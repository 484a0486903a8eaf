#pragma once

#include <chrono>
#include <optional>

namespace wrenfold {

inline constexpr int kFirstQingmingYear = 1998;
inline constexpr int kLastQingmingYear = 2100;

// The day of the Qingming solar term (the sun at apparent ecliptic longitude 15 degrees), by
// Taiwan's time (UTC+8); nullopt outside the tabulated years.
std::optional<std::chrono::year_month_day> qingming(int year);

// The solar term (節氣) that falls on a day by Taiwan's time, numbered from 0 (the March equinox,
// 春分) by steps of 15 degrees of the sun's apparent longitude; nullopt on days without one.
// Computed from the sun's position, good to a few minutes of time.
std::optional<unsigned> solar_term_on(std::chrono::year_month_day date);

}  // namespace wrenfold
