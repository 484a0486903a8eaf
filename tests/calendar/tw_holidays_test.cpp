#include "calendar/tw_holidays.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <stdexcept>

namespace wrenfold {
namespace {

using namespace std::chrono;

std::string iso(year_month_day const& d)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", int(d.year()), unsigned(d.month()), unsigned(d.day()));
    return text;
}

// "YYYY-MM-DD name" per entry, for readable comparisons.
std::vector<std::string> listing(std::vector<int> const& years, std::optional<std::string_view> language = std::nullopt)
{
    std::vector<std::string> out;
    for (Holiday const& h : taiwan_holidays(years, language))
        out.push_back(iso(h.date) + " " + h.name);
    return out;
}

// Entries of `years` whose date starts with `prefix` ("2020-04").
std::vector<std::string> listing_of(std::vector<int> const& years, std::string const& prefix)
{
    std::vector<std::string> out;
    for (std::string const& line : listing(years)) {
        if (line.starts_with(prefix))
            out.push_back(line);
    }
    return out;
}

TEST(TaiwanHolidays, Year2024)
{
    EXPECT_THAT(listing({ 2024 }),
                testing::ElementsAre("2024-01-01 中華民國開國紀念日", "2024-02-08 放假日（2024-02-17 補班）",
                                     "2024-02-09 農曆除夕", "2024-02-10 春節", "2024-02-11 春節", "2024-02-12 春節",
                                     "2024-02-13 春節（補假）", "2024-02-14 春節（補假）", "2024-02-28 和平紀念日",
                                     "2024-04-04 兒童節; 民族掃墓節", "2024-04-05 兒童節（補假）", "2024-06-10 端午節",
                                     "2024-09-17 中秋節", "2024-10-10 國慶日"));
}

TEST(TaiwanHolidays, Year2026WithTheNewHolidays)
{
    EXPECT_THAT(listing({ 2026 }, "zh_TW"),
                testing::ElementsAre(
                    "2026-01-01 中華民國開國紀念日", "2026-02-15 農曆除夕", "2026-02-16 農曆除夕", "2026-02-17 春節",
                    "2026-02-18 春節", "2026-02-19 春節", "2026-02-20 農曆除夕（補假）",
                    "2026-02-27 和平紀念日（補假）", "2026-02-28 和平紀念日", "2026-04-03 兒童節（補假）",
                    "2026-04-04 兒童節", "2026-04-05 民族掃墓節", "2026-04-06 民族掃墓節（補假）", "2026-05-01 勞動節",
                    "2026-06-19 端午節", "2026-09-25 中秋節", "2026-09-28 孔子誕辰紀念日", "2026-10-09 國慶日（補假）",
                    "2026-10-10 國慶日", "2026-10-25 臺灣光復暨金門古寧頭大捷紀念日",
                    "2026-10-26 臺灣光復暨金門古寧頭大捷紀念日（補假）", "2026-12-25 行憲紀念日"));
}

TEST(TaiwanHolidays, EnglishNames)
{
    auto const en = listing({ 2024, 2025 }, "en_US");
    EXPECT_THAT(en, testing::Contains("2024-04-04 Children's Day; Tomb-Sweeping Day"));
    EXPECT_THAT(en, testing::Contains("2024-04-05 Children's Day (observed)"));
    EXPECT_THAT(en, testing::Contains("2025-01-27 Day off (substituted from 02/08/2025)"));
    EXPECT_THAT(en, testing::Contains("2025-01-28 Chinese New Year's Eve"));
    EXPECT_THAT(en, testing::Contains("2025-10-24 Taiwan Restoration and Guningtou Victory Memorial Day (observed)"));
    EXPECT_THAT(listing({ 2025 }), testing::Contains("2025-01-27 放假日（2025-02-08 補班）"));
    EXPECT_THAT(listing({ 2000 }, "en_US"), testing::Contains("2000-05-14 The Buddha's Birthday (observed)"));
}

TEST(TaiwanHolidays, LanguageAndYearArguments)
{
    std::vector<int> const y2024 { 2024 };
    EXPECT_THROW(taiwan_holidays(y2024, "zh_CN"), std::invalid_argument);
    EXPECT_THROW(taiwan_holidays(y2024, ""), std::invalid_argument);
    EXPECT_EQ(taiwan_holidays(y2024), taiwan_holidays(y2024, "zh_TW"));
    EXPECT_TRUE(taiwan_holidays(std::vector<int> { 1990, 1997 }).empty());
    EXPECT_TRUE(taiwan_holidays(std::vector<int> {}).empty());
    // Repeated and unordered years still give each date once, in date order.
    EXPECT_EQ(listing({ 2025, 2024, 2025 }), listing({ 2024, 2025 }));
    EXPECT_EQ(listing({ 1997, 1998 }), listing({ 1998 }));
}

TEST(TaiwanHolidays, SaturdayNewYearIsObservedOnTheLastDayOfTheYearBefore)
{
    EXPECT_THAT(listing_of({ 2021 }, "2021-12-3"), testing::ElementsAre("2021-12-31 中華民國開國紀念日（補假）"));
    EXPECT_THAT(listing_of({ 2022 }, "2021"), testing::IsEmpty());
    EXPECT_THAT(listing_of({ 2022 }, "2022-01-0"), testing::ElementsAre("2022-01-01 中華民國開國紀念日"));
    EXPECT_THAT(listing_of({ 2027 }, "2027-12-3"), testing::ElementsAre("2027-12-31 中華民國開國紀念日（補假）"));
    // A Sunday 1 January moves forward within its own year.
    EXPECT_THAT(listing_of({ 2023 }, "2023-01-0"),
                testing::ElementsAre("2023-01-01 中華民國開國紀念日", "2023-01-02 中華民國開國紀念日（補假）"));
    // Before 2015 a Saturday 1 January had no observed day.
    EXPECT_THAT(listing_of({ 2010 }, "2010-12-3"), testing::IsEmpty());
}

TEST(TaiwanHolidays, ChildrensDayAndTombSweepingDay)
{
    // Both on Saturday: 兒童節 takes Friday first, so 民族掃墓節 goes on to Thursday.
    EXPECT_THAT(listing_of({ 2020 }, "2020-04"),
                testing::ElementsAre("2020-04-02 民族掃墓節（補假）", "2020-04-03 兒童節（補假）",
                                     "2020-04-04 兒童節; 民族掃墓節"));
    // Both on Sunday: 兒童節 two days before, 民族掃墓節 the day after.
    EXPECT_THAT(listing_of({ 2021 }, "2021-04"),
                testing::ElementsAre("2021-04-02 兒童節（補假）", "2021-04-04 兒童節; 民族掃墓節",
                                     "2021-04-05 民族掃墓節（補假）"));
    EXPECT_THAT(listing_of({ 2016 }, "2016-04"),
                testing::ElementsAre("2016-04-04 兒童節; 民族掃墓節", "2016-04-05 兒童節（補假）"));
    EXPECT_THAT(listing_of({ 2017 }, "2017-04"),
                testing::ElementsAre("2017-04-03 兒童節（補假）", "2017-04-04 兒童節; 民族掃墓節"));
    EXPECT_THAT(listing_of({ 2025 }, "2025-04"),
                testing::ElementsAre("2025-04-03 兒童節（補假）", "2025-04-04 兒童節; 民族掃墓節"));
    // On separate days at a weekend each follows the Saturday / Sunday rule.
    EXPECT_THAT(listing_of({ 2015 }, "2015-04"),
                testing::ElementsAre("2015-04-03 兒童節（補假）", "2015-04-04 兒童節", "2015-04-05 民族掃墓節",
                                     "2015-04-06 民族掃墓節（補假）"));
    // Before 2015 only the decreed observed days exist.
    EXPECT_THAT(listing_of({ 2013 }, "2013-04"),
                testing::ElementsAre("2013-04-04 兒童節; 民族掃墓節", "2013-04-05 兒童節（補假）"));
    EXPECT_THAT(listing_of({ 2012 }, "2012-04"), testing::ElementsAre("2012-04-04 兒童節; 民族掃墓節"));
    EXPECT_THAT(listing_of({ 2010 }, "2010-04"), testing::ElementsAre("2010-04-05 民族掃墓節"));
}

TEST(TaiwanHolidays, LunarNewYearWeekendDays)
{
    // Saturday and Sunday of the group are observed after it, in order.
    EXPECT_THAT(listing_of({ 2003 }, "2003-02-0"),
                testing::ElementsAre("2003-02-01 春節", "2003-02-02 春節", "2003-02-03 春節", "2003-02-04 春節（補假）",
                                     "2003-02-05 春節（補假）"));
    EXPECT_THAT(listing_of({ 2007 }, "2007-02-2"),
                testing::ElementsAre("2007-02-20 春節", "2007-02-21 農曆除夕（補假）", "2007-02-22 春節（補假）",
                                     "2007-02-23 放假日（2007-03-03 補班）", "2007-02-28 和平紀念日"));
    EXPECT_THAT(listing_of({ 2023 }, "2023-01-2"),
                testing::ElementsAre("2023-01-20 放假日（2023-01-07 補班）", "2023-01-21 農曆除夕", "2023-01-22 春節",
                                     "2023-01-23 春節", "2023-01-24 春節", "2023-01-25 農曆除夕（補假）",
                                     "2023-01-26 春節（補假）", "2023-01-27 放假日（2023-02-04 補班）"));
    // Before 2003 only the decreed one.
    EXPECT_THAT(listing_of({ 1998 }, "1998-01"),
                testing::ElementsAre("1998-01-01 中華民國開國紀念日", "1998-01-27 農曆除夕", "1998-01-28 春節",
                                     "1998-01-29 春節", "1998-01-30 春節", "1998-01-31 春節（補假）"));
    EXPECT_THAT(listing_of({ 2002 }, "2002-02-1"),
                testing::ElementsAre("2002-02-11 農曆除夕", "2002-02-12 春節", "2002-02-13 春節", "2002-02-14 春節"));
    // From 2026 the two days of 除夕: 2027's fall on Thursday and Friday, the new year on a weekend.
    EXPECT_THAT(listing_of({ 2027 }, "2027-02-"),
                testing::ElementsAre("2027-02-04 農曆除夕", "2027-02-05 農曆除夕", "2027-02-06 春節", "2027-02-07 春節",
                                     "2027-02-08 春節", "2027-02-09 春節（補假）", "2027-02-10 春節（補假）",
                                     "2027-02-28 和平紀念日"));
}

TEST(TaiwanHolidays, HolidaysSharingAWeekendDateTakeSeparateObservedDays)
{
    // Mid-Autumn and Confucius' Birthday on Sunday 2042-09-28: 中秋節 first by code point.
    EXPECT_THAT(listing_of({ 2042 }, "2042-09-"),
                testing::ElementsAre("2042-09-28 中秋節; 孔子誕辰紀念日", "2042-09-29 中秋節（補假）",
                                     "2042-09-30 孔子誕辰紀念日（補假）"));
}

TEST(TaiwanHolidays, EveryYearIsOrderedWithOneEntryPerDateAndAllHolidays)
{
    std::vector<int> all;
    for (int y = 1998; y <= 2099; ++y)
        all.push_back(y);
    auto const holidays = taiwan_holidays(all);
    std::map<int, std::vector<Holiday>> by_year;
    for (std::size_t i = 0; i < holidays.size(); ++i) {
        if (i > 0) {
            ASSERT_LT(sys_days { holidays[i - 1].date }, sys_days { holidays[i].date }) << iso(holidays[i].date);
        }
        by_year[int(holidays[i].date.year())].push_back(holidays[i]);
    }
    ASSERT_EQ(by_year.size(), all.size());
    for (auto const& [y, days] : by_year) {
        EXPECT_EQ(taiwan_holidays(std::vector<int> { y }), days) << y;
        int festivals = 0;
        for (Holiday const& h : days)
            festivals += h.name == "端午節" || h.name == "中秋節" || h.name.starts_with("中秋節;") ||
                h.name == "民族掃墓節" || h.name.ends_with("; 民族掃墓節");
        EXPECT_EQ(festivals, 3) << y;
    }
}

}  // namespace
}  // namespace wrenfold
