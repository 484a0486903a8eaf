#include "calendar/lunar_calendar.h"

#include <gtest/gtest.h>

#include <utility>

namespace wrenfold {
namespace {

using namespace std::chrono;

year_month_day ymd(int y, unsigned m, unsigned d)
{
    return year { y } / month { m } / day { d };
}

TEST(LunarCalendar, NewYearMatchesPublishedDates)
{
    std::pair<int, year_month_day> const known[] = {
        { 1998, ymd(1998, 1, 28) },
        { 2000, ymd(2000, 2, 5) },
        { 2001, ymd(2001, 1, 24) },
        { 2004, ymd(2004, 1, 22) },
        { 2010, ymd(2010, 2, 14) },
        { 2012, ymd(2012, 1, 23) },
        { 2017, ymd(2017, 1, 28) },
        { 2020, ymd(2020, 1, 25) },
        { 2023, ymd(2023, 1, 22) },
        { 2024, ymd(2024, 2, 10) },
        { 2025, ymd(2025, 1, 29) },
        { 2026, ymd(2026, 2, 17) },
        // The new moons of 2027 and 2030 fall minutes from midnight; ICU misplaces both.
        { 2027, ymd(2027, 2, 6) },
        { 2030, ymd(2030, 2, 3) },
        { 2033, ymd(2033, 1, 31) },
        // New moons of 2057-01-05 17:49 and 2057-02-04 06:10 (UTC+8): the year begins on 02-04.
        { 2057, ymd(2057, 2, 4) },
        { 2061, ymd(2061, 1, 21) },
        { 2096, ymd(2096, 1, 25) },
    };
    for (auto const& [y, expected] : known)
        EXPECT_EQ(lunar_new_year(y), expected) << y;
}

TEST(LunarCalendar, FestivalsMatchPublishedDates)
{
    struct Case {
        int year;
        year_month_day dragon_boat;
        year_month_day mid_autumn;
    };
    Case const known[] = {
        { 2020, ymd(2020, 6, 25), ymd(2020, 10, 1) },  // after the leap fourth month
        { 2023, ymd(2023, 6, 22), ymd(2023, 9, 29) },  // after the leap second month
        { 2024, ymd(2024, 6, 10), ymd(2024, 9, 17) },
        { 2025, ymd(2025, 5, 31), ymd(2025, 10, 6) },  // before and after the leap sixth month
        { 2012, ymd(2012, 6, 23), ymd(2012, 9, 30) },  // month 7 starts on 08-17, not ICU's 08-18
        { 2013, ymd(2013, 6, 12), ymd(2013, 9, 19) },
        { 2026, ymd(2026, 6, 19), ymd(2026, 9, 25) },
    };
    for (Case const& c : known) {
        EXPECT_EQ(lunar_to_gregorian(c.year, 5, 5), c.dragon_boat) << c.year;
        EXPECT_EQ(lunar_to_gregorian(c.year, 8, 15), c.mid_autumn) << c.year;
    }
    EXPECT_EQ(lunar_leap_month(2020), 4u);
    EXPECT_EQ(lunar_leap_month(2033), 11u);
    EXPECT_EQ(lunar_leap_month(2024), 0u);
}

// The new-year offsets and the month lengths are stored separately; every year's months must add
// up exactly to the next new year.
TEST(LunarCalendar, MonthsOfEachYearReachTheNextNewYear)
{
    for (int y = first_lunar_year; y < last_lunar_year; ++y) {
        auto const last_day =
            lunar_to_gregorian(y, 12, 30) ? lunar_to_gregorian(y, 12, 30) : lunar_to_gregorian(y, 12, 29);
        ASSERT_TRUE(last_day) << y;
        auto const next = lunar_new_year(y + 1);
        ASSERT_TRUE(next) << y;
        EXPECT_EQ(sys_days { *last_day } + days { 1 }, sys_days { *next }) << y;
        auto const length = (sys_days { *next } - sys_days { *lunar_new_year(y) }).count();
        EXPECT_TRUE((length >= 353 && length <= 355) || (length >= 383 && length <= 385)) << y << ": " << length;
        EXPECT_EQ(length > 360, lunar_leap_month(y) != 0) << y;
    }
}

TEST(LunarCalendar, RejectsWhatTheTableDoesNotHold)
{
    EXPECT_FALSE(lunar_new_year(first_lunar_year - 1));
    EXPECT_FALSE(lunar_new_year(last_lunar_year + 1));
    EXPECT_FALSE(lunar_to_gregorian(2024, 13, 1));
    EXPECT_FALSE(lunar_to_gregorian(2024, 0, 1));
    EXPECT_FALSE(lunar_to_gregorian(2024, 1, 0));
    EXPECT_FALSE(lunar_to_gregorian(2024, 1, 31));
    // 2024's twelfth month has 29 days: 除夕 is its 29th, the day before 2025-01-29.
    EXPECT_FALSE(lunar_to_gregorian(2024, 12, 30));
    EXPECT_EQ(lunar_to_gregorian(2024, 12, 29), ymd(2025, 1, 28));
}

TEST(LunarCalendar, GregorianDaysReadBackAsTheLunarDatesTheyCameFrom)
{
    EXPECT_EQ(gregorian_to_lunar(ymd(2025, 1, 28)), (LunarDate { 2024, 12, 29, false }))
        << "New Year's Eve on the 29th";
    EXPECT_EQ(gregorian_to_lunar(ymd(2025, 7, 25)), (LunarDate { 2025, 6, 1, true })) << "the leap sixth month";
    EXPECT_EQ(gregorian_to_lunar(ymd(2025, 8, 23)), (LunarDate { 2025, 7, 1, false }));
    EXPECT_FALSE(gregorian_to_lunar(ymd(first_lunar_year, 1, 1)));
    for (int y = first_lunar_year; y <= last_lunar_year; ++y)
        for (unsigned m = 1; m <= 12; ++m)
            for (unsigned d : { 1u, 15u, 29u }) {
                auto const date = lunar_to_gregorian(y, m, d);
                ASSERT_TRUE(date) << y << "/" << m;
                EXPECT_EQ(gregorian_to_lunar(*date), (LunarDate { y, m, d, false })) << y << "/" << m << "/" << d;
            }
}

}  // namespace
}  // namespace wrenfold
