#include "calendar/solar_terms.h"

#include <array>
#include <cstdint>

namespace wrenfold {

namespace {

// Day of April of the Qingming term, from kFirstQingmingYear on, ten years a row. Computed once
// with PyEphem (tools/check_lunar_table.py); the closest call is 2071, whose instant lies
// ten minutes after midnight of 5 April, far more than the uncertainty of the computation.
constexpr std::array<std::uint8_t, kLastQingmingYear - kFirstQingmingYear + 1> qingming_april_day = {
    5, 5, 4, 5, 5, 5, 4, 5, 5, 5, 4, 4, 5, 5, 4, 4, 5, 5, 4, 4, 5, 5, 4, 4, 5, 5, 4, 4, 5, 5, 4, 4, 5, 5, 4,
    4, 5, 5, 4, 4, 5, 5, 4, 4, 4, 5, 4, 4, 4, 5, 4, 4, 4, 5, 4, 4, 4, 5, 4, 4, 4, 5, 4, 4, 4, 5, 4, 4, 4, 5,
    4, 4, 4, 5, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 5,
};

}  // namespace

std::optional<std::chrono::year_month_day> qingming(int year)
{
    using namespace std::chrono;
    if (year < kFirstQingmingYear || year > kLastQingmingYear)
        return std::nullopt;
    unsigned const day = qingming_april_day[static_cast<std::size_t>(year - kFirstQingmingYear)];
    return std::chrono::year { year } / April / std::chrono::day { day };
}

}  // namespace wrenfold
