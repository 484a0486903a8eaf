// The tables the page reads beside the events: the calendar's time zone, the
// holidays' names in both languages and the lunar dates.
#include "calendar/lunar_labels.h"
#include "support/fake_app.h"

#include <gtest/gtest.h>

using wrenfold::Json;
using wrenfold::testing::calendars;
using wrenfold::testing::FakeApp;

TEST(TimeZone, AChosenZoneIsCheckedStoredAndFollowedByEveryAccountsEngine)
{
    FakeApp fake;
    std::string id = fake.add("ann@example.com", calendars("https://p", 1));
    EXPECT_EQ(fake.app->get_initial_state()["time_zone"], "Asia/Taipei");

    Json refused = fake.app->set_time_zone("Nowhere/Atlantis");
    EXPECT_EQ(refused, Json::parse(R"({"ok": false, "error": "Unknown time zone: Nowhere/Atlantis"})"));
    EXPECT_EQ(fake.app->_account_by_id(id)->home_tzid, "Asia/Taipei");

    fake.app->_engine_for(*fake.app->_account_by_id(id));
    int made = fake.engines.made();
    Json before = fake.state();
    EXPECT_EQ(fake.app->set_time_zone("America/New_York")["ok"], true);
    EXPECT_EQ(fake.state()["refresh_token"], before["refresh_token"].get<int>() + 1);
    fake.app->_engine_for(*fake.app->_account_by_id(id));
    EXPECT_EQ(fake.engines.made(), made + 1) << "the engine is made anew";
    EXPECT_EQ(fake.engines.zones().back(), "America/New_York");

    fake.restart();
    EXPECT_EQ(fake.app->get_initial_state()["time_zone"], "America/New_York");
    EXPECT_EQ(fake.app->_account_by_id(id)->home_tzid, "America/New_York");
    fake.add("bob@example.com", calendars("https://q", 1));
    EXPECT_EQ(fake.engines.zones().back(), "America/New_York") << "a new account takes the chosen zone";
}

TEST(ReadingTables, HolidayNamesInBothLanguagesAndLunarLabelsForARange)
{
    FakeApp fake;
    EXPECT_EQ(fake.app->get_holiday_names("2027-01-01", "2027-01-02"), Json::parse(R"({"ok": true, "names": {
        "2027-01-01": {"zh-Hant": "中華民國開國紀念日", "en": "Founding Day of the Republic of China"}}})"));
    EXPECT_EQ(fake.app->get_holiday_names("2027-01-02", "2027-01-03")["names"], Json::object());

    Json lunar = fake.app->get_lunar_dates("2025-01-29", "2025-01-31")["days"];
    EXPECT_EQ(lunar, Json::parse(R"([{"date": "2025-01-29", "label": "正月", "kind": "month"},
                                     {"date": "2025-01-30", "label": "初二", "kind": "day"}])"));
    EXPECT_EQ(fake.app->get_lunar_dates("2025-01-01", "2030-01-01")["days"].size(), 400u) << "a range is bounded";
    EXPECT_THROW(fake.app->get_lunar_dates("someday", "2025-01-02"), std::exception);
}

TEST(ReadingTables, LunarLabelNamesTermsMonthsAndDays)
{
    using namespace std::chrono;
    std::pair<year_month_day, wrenfold::LunarLabel> const table[] = {
        { 2025y / February / 3, { "立春", "term" } },  { 2025y / February / 18, { "雨水", "term" } },
        { 2025y / July / 25, { "閏六月", "month" } },  { 2025y / December / 20, { "冬月", "month" } },
        { 2026y / January / 19, { "臘月", "month" } }, { 2025y / February / 7, { "初十", "day" } },
        { 2025y / February / 8, { "十一", "day" } },   { 2025y / February / 17, { "二十", "day" } },
        { 2025y / February / 19, { "廿二", "day" } },  { 2025y / January / 28, { "廿九", "day" } },
    };
    for (auto const& [date, label] : table)
        EXPECT_EQ(wrenfold::lunar_label(date), label) << unsigned(date.month()) << "/" << unsigned(date.day());
    EXPECT_FALSE(wrenfold::lunar_label(1990y / January / 1));
}
