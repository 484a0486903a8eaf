#include "calendar/solar_terms.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>

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

double radians(double degrees)
{
    return degrees * std::numbers::pi / 180.0;
}

// The sun's apparent geocentric longitude in degrees [0, 360) at a Julian day (the low-precision
// solar theory of astronomical almanacs: mean longitude, equation of centre, nutation and
// aberration; about 0.01 degree).
double sun_longitude(double julian_day)
{
    double const t = (julian_day - 2451545.0) / 36525.0;
    double const mean = 280.46646 + 36000.76983 * t + 0.0003032 * t * t;
    double const anomaly = radians(357.52911 + 35999.05029 * t - 0.0001537 * t * t);
    double const centre = (1.914602 - 0.004817 * t - 0.000014 * t * t) * std::sin(anomaly) +
        (0.019993 - 0.000101 * t) * std::sin(2 * anomaly) + 0.000289 * std::sin(3 * anomaly);
    double const node = radians(125.04 - 1934.136 * t);
    double const apparent = mean + centre - 0.00569 - 0.00478 * std::sin(node);
    return std::fmod(std::fmod(apparent, 360.0) + 360.0, 360.0);
}

// Julian day of midnight at UTC+8 beginning a day.
double taiwan_midnight(std::chrono::sys_days day)
{
    return 2440587.5 + double(day.time_since_epoch().count()) - 8.0 / 24.0;
}

}  // namespace

std::optional<unsigned> solar_term_on(std::chrono::year_month_day date)
{
    if (!date.ok())
        return std::nullopt;
    std::chrono::sys_days const day { date };
    auto const term = [](double julian_day) { return unsigned(sun_longitude(julian_day) / 15.0); };
    unsigned const before = term(taiwan_midnight(day));
    unsigned const after = term(taiwan_midnight(day + std::chrono::days { 1 }));
    if (before == after)
        return std::nullopt;
    return after;
}

std::optional<std::chrono::year_month_day> qingming(int year)
{
    using namespace std::chrono;
    if (year < kFirstQingmingYear || year > kLastQingmingYear)
        return std::nullopt;
    unsigned const day = qingming_april_day[static_cast<std::size_t>(year - kFirstQingmingYear)];
    return std::chrono::year { year } / April / std::chrono::day { day };
}

}  // namespace wrenfold
