#pragma once

#include "calendar/tw_holidays.h"
#include "core/json.h"

#include <functional>

namespace wrenfold {

// The holidays of some years, asked in a language or (nullopt) in the source's default one.
using HolidaySource =
    std::function<std::vector<Holiday>(std::span<const int> years, std::optional<std::string_view> language)>;

// The records of the holiday pseudo-calendar for the dates start <= d < end,
// in the source's order. The source is asked in "zh_TW" and, should that
// fail, without a language; when both fail there are no records.
Json holiday_records(std::chrono::year_month_day start, std::chrono::year_month_day end, const HolidaySource& source);

// One record of the pseudo-calendar "local:tw_holidays".
Json holiday_record(std::chrono::year_month_day date, const std::string& name);

}  // namespace wrenfold
