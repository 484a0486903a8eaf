#pragma once

#include "calendar/tw_holiday_names.h"

#include <chrono>
#include <span>

namespace wrenfold {

// A bridge day: a working day between a holiday and a weekend given off by the government's yearly
// calendar, paid back by working on a Saturday.
struct BridgeDay {
    std::chrono::year_month_day day_off;
    std::chrono::year_month_day make_up_day;
};

// An observed day decreed one by one, before observed days followed a rule.
struct DecreedObservedDay {
    std::chrono::year_month_day date;
    HolidayKind holiday;
};

// Both lists are in date order.
std::span<BridgeDay const> bridge_days();
std::span<DecreedObservedDay const> decreed_observed_days();

}  // namespace wrenfold
