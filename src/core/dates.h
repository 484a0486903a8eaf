#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace wrenfold {

// "YYYY-MM-DD".
std::string iso_date(std::chrono::year_month_day date);
// "YYYYMMDD".
std::string compact_date(std::chrono::year_month_day date);
// A valid calendar date written exactly "YYYY-MM-DD"; nothing otherwise.
std::optional<std::chrono::year_month_day> parse_iso_date(std::string_view text);

}  // namespace wrenfold
