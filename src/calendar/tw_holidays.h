#pragma once

#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace wrenfold {

struct Holiday {
    std::chrono::year_month_day date;
    std::string name;

    bool operator==(Holiday const&) const = default;
};

// Taiwan's public holidays, observed days and bridge days of the given years (each counted once),
// in date order, one entry per date: holidays sharing a date are named by their names sorted by
// code point and joined by "; ". Years outside 1998..2100 yield nothing.
// language: "zh_TW" (the default when nullopt) or "en_US"; any other throws std::invalid_argument.
std::vector<Holiday> taiwan_holidays(std::span<int const> years,
                                     std::optional<std::string_view> language = std::nullopt);

}  // namespace wrenfold
