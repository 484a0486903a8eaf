#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace wrenfold {

// What a calendar in Taiwan prints under a day number: the solar term on its day, the month's
// name on the first day of a lunar month (閏 before a leap month's), else the lunar day (初五).
struct LunarLabel {
    std::string text;
    std::string_view kind;  // "term", "month" or "day"
    bool operator==(LunarLabel const&) const = default;
};

// nullopt outside the lunar table.
std::optional<LunarLabel> lunar_label(std::chrono::year_month_day date);

}  // namespace wrenfold
