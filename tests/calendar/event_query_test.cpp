#include "support/fake_app.h"

#include <gtest/gtest.h>

#include <algorithm>

using wrenfold::Json;
using wrenfold::testing::calendars;
using wrenfold::testing::FakeApp;

namespace {

std::vector<std::string> summaries(const Json& result)
{
    std::vector<std::string> names;
    for (const Json& event : result["events"])
        names.push_back(event.value("summary", ""));
    return names;
}

}  // namespace

TEST(EventQuery, MergesInTaskOrderWithTagsErrorsAndHolidaysLast)
{
    FakeApp fake;
    std::string ann = fake.add("ann@example.com", calendars("https://p", 3));
    std::string bob =
        fake.add("bob@example.com",
                 Json::parse(R"([{"url": "https://q/a/", "name": "A", "color": "#123456", "read_only": true}])"));
    auto ann_server = fake.engines.engine("ann@example.com");
    auto bob_server = fake.engines.engine("bob@example.com");
    ann_server->put_events("https://p/a/",
                           Json::parse(R"([{"summary": "a1", "url": "https://p/a/1.ics"}, {"summary": "a2"}])"));
    ann_server->put_events("https://p/c/", Json::parse(R"([{"summary": "c1", "color": "#000000"}])"));
    bob_server->put_events("https://q/a/", Json::parse(R"([{"summary": "q1"}])"));
    ann_server->fail_calendar("https://p/b/");
    bob_server->fail_calendar("https://q/a/");
    fake.app->set_calendar_visible(bob, "https://q/a/", false);

    Json result = fake.app->get_events("2025-01-01T08:00:00+08:00", "2025-01-02");
    EXPECT_EQ(result["ok"], true);
    EXPECT_EQ(summaries(result), (std::vector<std::string> { "a1", "a2", "c1", "中華民國開國紀念日" }));
    EXPECT_EQ(result["errors"], Json::parse(R"([{"calendar": "B", "error": "HTTP 503 from https://p/b/"}])"));
    EXPECT_EQ(result["events"][2]["color"], "#1BADF8");
    EXPECT_EQ(result["events"][0]["account_id"], ann);
    EXPECT_EQ(result["events"][0]["calendar_name"], "A");
    EXPECT_EQ(result["events"].back()["calendar_url"], "local:tw_holidays");
    EXPECT_EQ(result["refresh_token"], fake.state()["refresh_token"]);
    // Entries are written as fetches finish, in any order.
    Json status = fake.state()["sync_status"];
    EXPECT_EQ(status.size(), 3u);
    EXPECT_EQ(status["https://p/a/"], "ok");
    EXPECT_EQ(status["https://p/b/"], "error");
    EXPECT_EQ(status["https://p/c/"], "ok");
    auto ranges = ann_server->list_ranges();
    EXPECT_NE(std::find(ranges.begin(), ranges.end(), Json::parse(R"(["https://p/a/", "2025-01-01", "2025-01-02"])")),
              ranges.end());

    // Hidden calendars are fetched on request; two failures of the same name give two entries.
    ann_server->fail_calendar("https://p/a/");
    fake.app->set_calendar_visible(ann, "https://p/b/", true);
    Json with_hidden = fake.app->get_events("2025-06-01", "2025-06-01", true);
    EXPECT_EQ(with_hidden["errors"].size(), 3u);
    EXPECT_EQ(with_hidden["errors"][0]["calendar"], "A");
    EXPECT_EQ(with_hidden["errors"][2]["calendar"], "A");
    EXPECT_EQ(summaries(with_hidden), (std::vector<std::string> { "c1" }));
    EXPECT_EQ(fake.state()["sync_status"]["https://q/a/"], "error");
}

TEST(EventQuery, WithNothingToFetchAnswersTheHolidaysOnly)
{
    FakeApp fake;
    Json result = fake.app->get_events("2025-01-01", "2025-01-02");
    EXPECT_EQ(summaries(result), (std::vector<std::string> { "中華民國開國紀念日" }));
    EXPECT_EQ(result["errors"], Json::array());

    std::string ann = fake.add("ann@example.com", calendars("https://p", 1));
    fake.app->set_calendar_visible(ann, "https://p/a/", false);
    EXPECT_EQ(fake.app->get_events("2024-12-31", "2025-01-01")["events"], Json::array());  // the end day is out
    EXPECT_TRUE(fake.engines.engine("ann@example.com")->list_ranges().empty());
    EXPECT_EQ(fake.state()["sync_status"], Json::object());
}

TEST(EventQuery, AnEngineThatCannotBeMadeFailsOnlyItsCalendars)
{
    FakeApp fake;
    fake.folders.store_accounts(R"({"accounts": [
        {"id": "x", "apple_id": "ann@example.com", "app_password": "pw", "calendars": [{"url": "u1", "name": "One"}]}]})");
    wrenfold::AppEnvironment environment = fake.folders.environment();
    environment.make_engine = [](const std::string&, const std::string&, const std::optional<std::string>&)
        -> std::shared_ptr<wrenfold::caldav::CalendarEngine> { throw std::runtime_error("no time zone 'Mars/Base'"); };
    wrenfold::WrenfoldApp app({}, {}, environment);
    Json result = app.get_events("2025-05-01", "2025-05-02");
    EXPECT_EQ(result["errors"], Json::parse(R"([{"calendar": "One", "error": "no time zone 'Mars/Base'"}])"));
    EXPECT_EQ(app.create_event("x", "u1", Json::object()),
              Json::parse(R"({"ok": false, "error": "no time zone 'Mars/Base'"})"));
}

TEST(EventQuery, ABadDateFailsTheBridgeCall)
{
    FakeApp fake;
    EXPECT_THROW(fake.app->get_events("2025-02-30", "2025-03-01"), std::invalid_argument);
    EXPECT_THROW(fake.app->get_events("2025-03-01", nullptr), std::invalid_argument);
}
