#pragma once

#include <chrono>
#include <optional>

namespace wrenfold {

inline constexpr int kFirstQingmingYear = 1998;
inline constexpr int kLastQingmingYear = 2100;

// The day of the Qingming solar term (the sun at apparent ecliptic longitude 15 degrees), by
// Taiwan's time (UTC+8); nullopt outside the tabulated years.
std::optional<std::chrono::year_month_day> qingming(int year);

}  // namespace wrenfold
