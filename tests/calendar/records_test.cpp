#include "calendar/records.h"

#include <gtest/gtest.h>

using namespace wrenfold;

TEST(ParseCalendar, ReadsEachFieldByOneRule)
{
    struct Case {
        const char* stored;
        Calendar expected;
    };
    const std::vector<Case> cases {
        { R"({"url": "u", "name": "N", "color": "#112233", "read_only": true, "visible": false})",
          { "u", "N", "#112233", true, false, {} } },
        { R"({})", { "", "", "#1BADF8", false, true, {} } },
        { R"({"url": 5, "name": null, "color": null, "read_only": "yes", "visible": 0})",
          { "", "", "#1BADF8", true, false, {} } },
        { R"({"color": "", "read_only": 0, "visible": "no"})", { "", "", "", false, true, {} } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        Calendar calendar = parse_calendar(Json::parse(c.stored));
        EXPECT_EQ(calendar.url, c.expected.url);
        EXPECT_EQ(calendar.name, c.expected.name);
        EXPECT_EQ(calendar.color, c.expected.color);
        EXPECT_EQ(calendar.read_only, c.expected.read_only);
        EXPECT_EQ(calendar.visible, c.expected.visible);
        EXPECT_EQ(calendar.record, Json::parse(c.stored));
    }
}

TEST(ParseAccount, ReadsTheIdInItsTextFormAndKeepsOnlyObjectCalendars)
{
    Account account = parse_account(Json::parse(
        R"({"id": 7, "apple_id": "a@b", "app_password": "p", "home_tzid": "Europe/Paris",
            "calendars": ["junk", {"url": "u"}, 3, {"url": "v"}], "other": 1})"));
    EXPECT_EQ(account.id, "7");
    EXPECT_EQ(account.apple_id, "a@b");
    EXPECT_EQ(account.app_password, "p");
    EXPECT_EQ(account.home_tzid, "Europe/Paris");
    ASSERT_EQ(account.calendars.size(), 2u);
    EXPECT_EQ(account.calendars[1].url, "v");
    EXPECT_EQ(account.record["other"], 1);

    Account odd = parse_account(Json::parse(R"({"id": null, "apple_id": 3, "calendars": {"url": "u"}})"));
    EXPECT_EQ(odd.id, "");
    EXPECT_EQ(odd.apple_id, "");
    EXPECT_TRUE(odd.calendars.empty());
}

TEST(ParseAccounts, SkipsElementsThatAreNotObjects)
{
    EXPECT_TRUE(parse_accounts(Json::object()).empty());
    auto accounts = parse_accounts(Json::parse(R"(["x", {"id": "a"}, null, {"id": "b"}])"));
    ASSERT_EQ(accounts.size(), 2u);
    EXPECT_EQ(accounts[1].id, "b");
}

TEST(AccountRecords, WriteBackExactlyWhatWasRead)
{
    const Json stored = Json::parse(R"([{"z": 1, "id": 7, "calendars": ["junk", {"visible": "yes", "url": "u"}]},
                                        {"calendars": null, "a": [null]}])");
    EXPECT_EQ(account_records(parse_accounts(stored)).dump(), stored.dump());
}

TEST(WithCalendarVisible, ChangesOnlyTheMatchingCalendarsInPlace)
{
    Account account = parse_account(Json::parse(
        R"({"id": "a", "calendars": ["junk", {"url": "u", "visible": "yes", "k": 1}, {"url": "v"}, {"url": "u"}]})"));
    Account hidden = with_calendar_visible(account, "u", false);
    EXPECT_EQ(hidden.record, Json::parse(R"({"id": "a", "calendars": ["junk", {"url": "u", "visible": false, "k": 1},
                                                                      {"url": "v"}, {"url": "u", "visible": false}]})"));
    ASSERT_EQ(hidden.calendars.size(), 3u);
    EXPECT_FALSE(hidden.calendars[0].visible);
    EXPECT_TRUE(hidden.calendars[1].visible);
    EXPECT_FALSE(hidden.calendars[2].visible);

    Account without_list = parse_account(Json::parse(R"({"id": "a", "calendars": 4})"));
    EXPECT_EQ(with_calendar_visible(without_list, "u", false).record, without_list.record);
}

TEST(WithCalendars, ReplacesTheStoredListAndItsTypedView)
{
    Account account = parse_account(Json::parse(R"({"id": "a", "calendars": null, "after": 1})"));
    auto calendars = parse_calendars(Json::parse(R"([{"url": "u"}])"));
    Account replaced = with_calendars(account, { with_visible(calendars[0], false) });
    EXPECT_EQ(replaced.record.dump(), R"({"id":"a","calendars":[{"url":"u","visible":false}],"after":1})");
    ASSERT_EQ(replaced.calendars.size(), 1u);
    EXPECT_FALSE(replaced.calendars[0].visible);
}

TEST(CalendarFromDiscovery, FillsTheDefaultsAndStoresTheDiscoveredObject)
{
    wrenfold::caldav::DiscoveredCalendar plain { "https://p/a/", "A", std::nullopt, true, "\"t1\"" };
    Calendar calendar = calendar_from_discovery(plain);
    EXPECT_EQ(calendar.url, "https://p/a/");
    EXPECT_EQ(calendar.color, "#1BADF8");
    EXPECT_TRUE(calendar.read_only);
    EXPECT_TRUE(calendar.visible);
    EXPECT_EQ(calendar.record.dump(), R"({"url":"https://p/a/","name":"A","read_only":true,"ctag":"\"t1\""})");

    auto both = calendars_from_discovery({ plain, { "https://p/b/", "B", "#123456", false, std::nullopt } });
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(both[1].color, "#123456");
    EXPECT_EQ(both[1].record.dump(), R"({"url":"https://p/b/","name":"B","color":"#123456","read_only":false})");
}
