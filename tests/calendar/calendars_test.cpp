#include "support/fake_app.h"

#include <gtest/gtest.h>

using wrenfold::Json;
using wrenfold::testing::calendars;
using wrenfold::testing::FakeApp;

TEST(Calendars, RefreshKeepsVisibilityAndRaisesBothTokens)
{
    FakeApp fake;
    std::string ann = fake.add("ann@example.com", calendars("https://p", 3));
    std::string bob = fake.add("bob@example.com", calendars("https://q", 1));
    auto server = fake.engines.engine("ann@example.com");

    fake.app->set_calendar_visible(ann, "https://p/b/", 0);
    EXPECT_EQ(fake.state()["refresh_token"], 2);  // visibility raises no token
    server->set_calendars(
        Json::parse(R"([{"url": "https://p/b/", "name": "B renamed"}, {"url": "https://p/n/", "name": "N"}])"));
    Json refreshed = fake.app->refresh_calendars(ann);
    EXPECT_EQ(refreshed, Json::parse(R"({"ok": true, "calendars": [
        {"url": "https://p/b/", "name": "B renamed", "read_only": false, "visible": false},
        {"url": "https://p/n/", "name": "N", "read_only": false, "visible": true}]})"));
    Json state = fake.state();
    EXPECT_EQ(state["calendars_token"], 3);
    EXPECT_EQ(state["refresh_token"], 3);

    EXPECT_EQ(fake.app->refresh_calendars("nobody"), Json::parse(R"({"ok": false, "error": "account not found"})"));
    server->fail("discover", "HTTP 503");
    EXPECT_EQ(fake.app->refresh_calendars(ann), Json::parse(R"({"ok": false, "error": "HTTP 503"})"));
    EXPECT_EQ(fake.state()["calendars_token"], 3);

    // One account failing: the other is merged, the failure is named, tokens rise once.
    fake.engines.engine("bob@example.com")->set_calendars(calendars("https://q", 2));
    Json all = fake.app->refresh_all_calendars();
    EXPECT_EQ(all["ok"], true);
    EXPECT_EQ(all["errors"], Json::parse(R"([{"account": "ann@example.com", "error": "HTTP 503"}])"));
    EXPECT_EQ(all["accounts"][1]["calendars"].size(), 2u);
    EXPECT_EQ(all["accounts"][0]["calendars"].size(), 2u);
    EXPECT_EQ(fake.state()["calendars_token"], 4);

    fake.restart();
    EXPECT_EQ(fake.app->_account_by_id(bob).value().calendars.size(), 2u);
    EXPECT_EQ(fake.app->_account_by_id(ann).value().record["calendars"][0]["visible"], false);
    EXPECT_EQ(fake.state()["calendars_token"], 0);
}

TEST(Calendars, VisibilityDefaultAndViewSettersSaveAtOnce)
{
    FakeApp fake;
    std::string ann = fake.add("ann@example.com", calendars("https://p", 2));
    fake.app->set_calendar_visible(ann, "https://p/a/", "");
    fake.app->set_calendar_visible(ann, "https://p/b/", "yes");
    fake.app->set_calendar_visible("nobody", "https://p/b/", false);
    fake.app->set_default_calendar("https://gone/");
    EXPECT_EQ(fake.app->set_view("year"), Json::parse(R"({"ok": true, "view": "month"})"));
    EXPECT_EQ(fake.app->set_view("agenda"), Json::parse(R"({"ok": true, "view": "agenda"})"));
    EXPECT_EQ(fake.app->set_view(Json::array()), Json::parse(R"({"ok": true, "view": "agenda"})"));

    fake.restart();
    Json stored = fake.app->_account_by_id(ann).value().record["calendars"];
    EXPECT_EQ(stored[0]["visible"], false);
    EXPECT_EQ(stored[1]["visible"], true);
    EXPECT_EQ(fake.app->setting("default_calendar"), "https://gone/");
    EXPECT_EQ(fake.app->setting("view"), "agenda");

    Json first = fake.state();
    Json second = fake.state();
    EXPECT_EQ(second["seq"].get<int>(), first["seq"].get<int>() + 1);
    second["seq"] = first["seq"];
    EXPECT_EQ(first, second);
}

TEST(Calendars, ReadOnlyAndForeignCalendarsAreNeverChangedOrDeleted)
{
    FakeApp fake;
    std::string ann = fake.add("ann@example.com", Json::parse(R"([{"url": "https://p/shared/", "name": "Shared",
                                                                   "read_only": true}])"));
    const std::vector<std::pair<std::string, std::string>> refused {
        { "https://p/shared/", "refused: the calendar is read-only" },
        { "https://q/other/", "refused: https://q/other/ is not a calendar of this account" },
    };
    for (const auto& [url, error] : refused) {
        SCOPED_TRACE(url);
        EXPECT_EQ(fake.app->update_calendar(ann, url, Json::parse(R"({"name": "Taken"})"))["error"], error);
        EXPECT_EQ(fake.app->delete_calendar(ann, url, true)["error"], error);
    }
}
