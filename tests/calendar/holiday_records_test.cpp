#include "calendar/holiday_records.h"

#include "support/app_fixture.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace std::chrono;
using wrenfold::Holiday;
using wrenfold::Json;
using wrenfold::testing::AppFolders;

namespace {

constexpr year_month_day date(int y, unsigned m, unsigned d)
{
    return year_month_day { year(y), month(m), std::chrono::day(d) };
}

std::vector<std::string> starts(const Json& records)
{
    std::vector<std::string> out;
    for (const Json& record : records)
        out.push_back(record["start"].get<std::string>() + " " + record["summary"].get<std::string>());
    return out;
}

}  // namespace

TEST(HolidayRecords, OneDayRangeGivesNewYearsDayWithTheFullRecord)
{
    AppFolders folders;
    auto app = folders.make_app();
    Json records = app->_tw_holidays(date(2025, 1, 1), date(2025, 1, 2));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].dump(),
              R"({"uid":"twholiday-20250101","summary":"中華民國開國紀念日","start":"2025-01-01","end":"",)"
              R"("all_day":true,"rrule":"","location":"","description":"","account_id":"",)"
              R"("calendar_url":"local:tw_holidays","calendar_name":"台灣節日","color":"#FF3B30","read_only":true})");
}

TEST(HolidayRecords, HalfOpenRangeAcrossTheTurnOfTheYear)
{
    AppFolders folders;
    auto app = folders.make_app();
    // 2024-12-31 is no holiday; 2025-01-01 is; the end date itself is excluded.
    EXPECT_EQ(starts(app->_tw_holidays(date(2024, 12, 30), date(2025, 1, 6))),
              std::vector<std::string> { "2025-01-01 中華民國開國紀念日" });
    EXPECT_EQ(starts(app->_tw_holidays(date(2024, 12, 30), date(2025, 1, 1))), std::vector<std::string> {});
    EXPECT_EQ(app->_tw_holidays(date(2025, 1, 1), date(2025, 1, 1)), Json::array());
    EXPECT_EQ(app->_tw_holidays(date(2025, 2, 1), date(2025, 1, 1)), Json::array());
}

TEST(HolidayRecords, AsksInTraditionalChineseThenWithoutALanguageThenGivesUp)
{
    std::vector<std::string> asked;
    wrenfold::HolidaySource picky = [&](std::span<const int> years, std::optional<std::string_view> language) {
        asked.push_back(std::string(language.value_or("default")) + ":" + std::to_string(years.front()) + "-" +
                        std::to_string(years.back()));
        if (language)
            throw std::invalid_argument("no such language");
        return std::vector<Holiday> { { date(2024, 12, 25), "X" }, { date(2026, 1, 1), "Y" } };
    };
    EXPECT_EQ(starts(wrenfold::holiday_records(date(2024, 12, 1), date(2026, 1, 2), picky)),
              (std::vector<std::string> { "2024-12-25 X", "2026-01-01 Y" }));
    EXPECT_EQ(asked, (std::vector<std::string> { "zh_TW:2024-2026", "default:2024-2026" }));

    wrenfold::HolidaySource broken = [](std::span<const int>, std::optional<std::string_view>) -> std::vector<Holiday> {
        throw std::runtime_error("unavailable");
    };
    EXPECT_EQ(wrenfold::holiday_records(date(2024, 1, 1), date(2025, 1, 1), broken), Json::array());
}

TEST(SetTwHolidays, StoresTheTruthOfTheValueAtOnce)
{
    AppFolders folders;
    auto app = folders.make_app();
    for (const Json& value : { Json(0), Json(""), Json(nullptr) }) {
        EXPECT_EQ(app->set_tw_holidays(value), Json::parse(R"({"ok": true})"));
        EXPECT_EQ(Json::parse(folders.settings_file_text())["show_tw_holidays"], false) << value;
    }
    for (const Json& value : { Json(1), Json("yes") }) {
        app->set_tw_holidays(value);
        EXPECT_EQ(Json::parse(folders.settings_file_text())["show_tw_holidays"], true) << value;
    }
    EXPECT_EQ(app->get_initial_state()["show_tw_holidays"], true);
}
