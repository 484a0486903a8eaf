#include "calendar/lunar_calendar.h"

#include <array>
#include <cstdint>

namespace wrenfold {

namespace {

using namespace std::chrono;

// One word per lunar year from first_lunar_year on:
//   bits 17..22  day of the lunar new year, counted from 1 January (0 = 1 January)
//   bits 13..16  the month number the leap month repeats, 0 for none
//   bits  0..12  month lengths in calendar order, leap month at its place: 1 = 30 days, 0 = 29
// Generated once by tools/gen_lunar_table.cpp (ICU) and tools/check_lunar_table.py, which moves
// every month start to the day of its new moon where ICU's cruder astronomy is off (1999-01-17,
// 2012-08-17, 2018-11-08, 2027-02-06, 2030-02-03, 2057-09-28, 2070-03-12).
constexpr std::array<std::uint32_t, last_lunar_year - first_lunar_year + 1> lunar_years = {
    0x36b6c9,  // 1998: 1998-01-28, leap 5
    0x5c0749,  // 1999: 1999-02-16, leap 0
    0x460693,  // 2000: 2000-02-05, leap 0
    0x2e952b,  // 2001: 2001-01-24, leap 4
    0x54052b,  // 2002: 2002-02-12, leap 0
    0x3e0a5b,  // 2003: 2003-02-01, leap 0
    0x2a555a,  // 2004: 2004-01-22, leap 2
    0x4e056a,  // 2005: 2005-02-09, leap 0
    0x38fb55,  // 2006: 2006-01-29, leap 7
    0x600ba4,  // 2007: 2007-02-18, leap 0
    0x4a0b49,  // 2008: 2008-02-07, leap 0
    0x32ba93,  // 2009: 2009-01-26, leap 5
    0x580a95,  // 2010: 2010-02-14, leap 0
    0x42052d,  // 2011: 2011-02-03, leap 0
    0x2c8aad,  // 2012: 2012-01-23, leap 4
    0x500ab5,  // 2013: 2013-02-10, leap 0
    0x3d35aa,  // 2014: 2014-01-31, leap 9
    0x6205d2,  // 2015: 2015-02-19, leap 0
    0x4c0da5,  // 2016: 2016-02-08, leap 0
    0x36dd4a,  // 2017: 2017-01-28, leap 6
    0x5c0d4a,  // 2018: 2018-02-16, leap 0
    0x460c95,  // 2019: 2019-02-05, leap 0
    0x30952e,  // 2020: 2020-01-25, leap 4
    0x540556,  // 2021: 2021-02-12, leap 0
    0x3e0ab5,  // 2022: 2022-02-01, leap 0
    0x2a55b2,  // 2023: 2023-01-22, leap 2
    0x5006d2,  // 2024: 2024-02-10, leap 0
    0x38cea5,  // 2025: 2025-01-29, leap 6
    0x5e0725,  // 2026: 2026-02-17, leap 0
    0x48064b,  // 2027: 2027-02-06, leap 0
    0x32ac97,  // 2028: 2028-01-26, leap 5
    0x560cab,  // 2029: 2029-02-13, leap 0
    0x42055a,  // 2030: 2030-02-03, leap 0
    0x2c6ad6,  // 2031: 2031-01-23, leap 3
    0x520b69,  // 2032: 2032-02-11, leap 0
    0x3d7752,  // 2033: 2033-01-31, leap 11
    0x620b52,  // 2034: 2034-02-19, leap 0
    0x4c0b25,  // 2035: 2035-02-08, leap 0
    0x36da4b,  // 2036: 2036-01-28, leap 6
    0x5a0a4b,  // 2037: 2037-02-15, leap 0
    0x4404ab,  // 2038: 2038-02-04, leap 0
    0x2ea55b,  // 2039: 2039-01-24, leap 5
    0x5405ad,  // 2040: 2040-02-12, leap 0
    0x3e0b6a,  // 2041: 2041-02-01, leap 0
    0x2a5b52,  // 2042: 2042-01-22, leap 2
    0x500d92,  // 2043: 2043-02-10, leap 0
    0x3afd25,  // 2044: 2044-01-30, leap 7
    0x5e0d25,  // 2045: 2045-02-17, leap 0
    0x480a55,  // 2046: 2046-02-06, leap 0
    0x32b4ad,  // 2047: 2047-01-26, leap 5
    0x5804b6,  // 2048: 2048-02-14, leap 0
    0x4005b5,  // 2049: 2049-02-02, leap 0
    0x2c6daa,  // 2050: 2050-01-23, leap 3
    0x520ec9,  // 2051: 2051-02-11, leap 0
    0x3f1e92,  // 2052: 2052-02-01, leap 8
    0x620e92,  // 2053: 2053-02-19, leap 0
    0x4c0d26,  // 2054: 2054-02-08, leap 0
    0x36ca56,  // 2055: 2055-01-28, leap 6
    0x5a0a57,  // 2056: 2056-02-15, leap 0
    0x440556,  // 2057: 2057-02-04, leap 0
    0x2e86d5,  // 2058: 2058-01-24, leap 4
    0x540755,  // 2059: 2059-02-12, leap 0
    0x400749,  // 2060: 2060-02-02, leap 0
    0x286e93,  // 2061: 2061-01-21, leap 3
    0x4e0693,  // 2062: 2062-02-09, leap 0
    0x38f52b,  // 2063: 2063-01-29, leap 7
    0x5e052b,  // 2064: 2064-02-17, leap 0
    0x460a5b,  // 2065: 2065-02-05, leap 0
    0x32b55a,  // 2066: 2066-01-26, leap 5
    0x58056a,  // 2067: 2067-02-14, leap 0
    0x420b65,  // 2068: 2068-02-03, leap 0
    0x2c974a,  // 2069: 2069-01-23, leap 4
    0x520b4a,  // 2070: 2070-02-11, leap 0
    0x3d1a95,  // 2071: 2071-01-31, leap 8
    0x620a95,  // 2072: 2072-02-19, leap 0
    0x4a052d,  // 2073: 2073-02-07, leap 0
    0x34caad,  // 2074: 2074-01-27, leap 6
    0x5a0ab5,  // 2075: 2075-02-15, leap 0
    0x4605aa,  // 2076: 2076-02-05, leap 0
    0x2e8ba5,  // 2077: 2077-01-24, leap 4
    0x540da5,  // 2078: 2078-02-12, leap 0
    0x400d4a,  // 2079: 2079-02-02, leap 0
    0x2a7c95,  // 2080: 2080-01-22, leap 3
    0x4e0c96,  // 2081: 2081-02-09, leap 0
    0x38f94e,  // 2082: 2082-01-29, leap 7
    0x5e0556,  // 2083: 2083-02-17, leap 0
    0x480ab5,  // 2084: 2084-02-06, leap 0
    0x32b5b2,  // 2085: 2085-01-26, leap 5
    0x5806d2,  // 2086: 2086-02-14, leap 0
    0x420ea5,  // 2087: 2087-02-03, leap 0
    0x2e8e4a,  // 2088: 2088-01-24, leap 4
    0x50068b,  // 2089: 2089-02-10, leap 0
    0x3b0c97,  // 2090: 2090-01-30, leap 8
    0x6004ab,  // 2091: 2091-02-18, leap 0
    0x4a055b,  // 2092: 2092-02-07, leap 0
    0x34cad6,  // 2093: 2093-01-27, leap 6
    0x5a0b6a,  // 2094: 2094-02-15, leap 0
    0x460752,  // 2095: 2095-02-05, leap 0
    0x309725,  // 2096: 2096-01-25, leap 4
    0x540b45,  // 2097: 2097-02-12, leap 0
    0x3e0a8b,  // 2098: 2098-02-01, leap 0
    0x28549b,  // 2099: 2099-01-21, leap 2
    0x4e04ab,  // 2100: 2100-02-09, leap 0
};

struct LunarYear {
    sys_days new_year;
    unsigned leap_month;
    std::uint32_t long_months;
};

std::optional<LunarYear> lunar_year(int year)
{
    if (year < first_lunar_year || year > last_lunar_year)
        return std::nullopt;
    std::uint32_t const word = lunar_years[static_cast<std::size_t>(year - first_lunar_year)];
    unsigned const leap = (word >> 13) & 0xF;
    return LunarYear {
        .new_year = sys_days { std::chrono::year { year } / January / 1 } + days { word >> 17 },
        .leap_month = leap,
        .long_months = word & 0x1FFF,
    };
}

unsigned month_length(LunarYear const& year, unsigned index)
{
    return (year.long_months >> index) & 1 ? 30 : 29;
}

// Position of ordinary month `month` in calendar order: months after a leap month shift by one.
unsigned month_index(LunarYear const& year, unsigned month)
{
    return year.leap_month != 0 && month > year.leap_month ? month : month - 1;
}

}  // namespace

std::optional<year_month_day> lunar_new_year(int year)
{
    auto const info = lunar_year(year);
    if (!info)
        return std::nullopt;
    return year_month_day { info->new_year };
}

std::optional<year_month_day> lunar_to_gregorian(int year, unsigned month, unsigned day)
{
    auto const info = lunar_year(year);
    if (!info || month < 1 || month > 12 || day < 1)
        return std::nullopt;
    unsigned const index = month_index(*info, month);
    if (day > month_length(*info, index))
        return std::nullopt;
    sys_days date = info->new_year;
    for (unsigned i = 0; i < index; ++i)
        date += days { month_length(*info, i) };
    return year_month_day { date + days { day - 1 } };
}

std::optional<LunarDate> gregorian_to_lunar(year_month_day date)
{
    if (!date.ok())
        return std::nullopt;
    sys_days const day { date };
    int year = int(date.year());
    // A day before its year's lunar new year (or in the January after the
    // table's last year) belongs to the lunar year before.
    auto info = lunar_year(year);
    if (!info || day < info->new_year)
        info = lunar_year(--year);
    if (!info)
        return std::nullopt;
    sys_days start = info->new_year;
    unsigned const months = info->leap_month != 0 ? 13 : 12;
    for (unsigned index = 0; index < months; ++index) {
        sys_days const next = start + days { month_length(*info, index) };
        if (day < next) {
            bool const leap = info->leap_month != 0 && index == info->leap_month;
            unsigned const month = info->leap_month != 0 && index >= info->leap_month ? index : index + 1;
            return LunarDate { year, month, unsigned((day - start).count()) + 1, leap };
        }
        start = next;
    }
    return std::nullopt;  // after the last month of the table's last year
}

unsigned lunar_leap_month(int year)
{
    auto const info = lunar_year(year);
    return info ? info->leap_month : 0;
}

}  // namespace wrenfold
