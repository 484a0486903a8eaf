// The account and event flow end to end: the page's HTTP bridge of the
// browser host, the application object, the real CalDAV engine, and two real
// Radicale servers on loopback (one per account).
#include "app/bridge_table.h"
#include "app/wrenfold_app.h"
#include "platform/browser_host.h"
#include "support/caldav_server.h"
#include "support/environment.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <cstdlib>

using namespace wrenfold;
using wrenfold::testing::CalDavServerKind;
using wrenfold::testing::CalDavTestServer;
using wrenfold::testing::TempDir;

namespace {

struct Page {
    platform::BrowserHost& host;
    httplib::Client client { "127.0.0.1", host.port() };

    // One bridge call as the page makes it; answers the HTTP status and the body.
    std::pair<int, Json> post(const std::string& method, const Json& args)
    {
        auto response =
            client.Post("/api/" + method, { { "X-Wrenfold-Token", host.token() } }, args.dump(), "application/json");
        if (!response)
            throw std::runtime_error("no answer to " + method);
        return { response->status, Json::parse(response->body) };
    }
    Json call(const std::string& method, const Json& args = Json::array())
    {
        auto [status, body] = post(method, args);
        if (status != 200)
            throw std::runtime_error(method + " failed: " + body.dump());
        return body["result"];
    }
    std::pair<std::int64_t, std::int64_t> tokens()
    {
        Json state = call("get_runtime_state");
        return { state["refresh_token"], state["calendars_token"] };
    }
};

void point_engines_at(const CalDavTestServer& server)
{
    wrenfold::testing::set_environment("WRENFOLD_CALDAV_URL", server.root_url());
}

// The events of May 2025 that came from the servers, by summary; holidays apart.
std::vector<Json> server_events(Page& page)
{
    Json result = page.call("get_events", Json::array({ "2025-05-01", "2025-06-01" }));
    EXPECT_EQ(result["errors"], Json::array());
    std::vector<Json> events;
    bool holidays_began = false;
    for (const Json& event : result["events"]) {
        bool holiday = event["calendar_url"] == "local:tw_holidays";
        EXPECT_TRUE(holiday || !holidays_began) << "an event after the holidays: " << event.dump();
        holidays_began = holidays_began || holiday;
        if (!holiday)
            events.push_back(event);
    }
    EXPECT_TRUE(holidays_began) << "no holidays in May 2025";
    return events;
}

// Two Radicale servers, alice's with the calendars "Home" and "Work", bob's
// with "Bob's", and the application served by the browser host.
class CalendarEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        // scripts/setup installs the servers: a missing one is a broken set-up, not a pass.
        ASSERT_TRUE(wrenfold::testing::server_installed(CalDavServerKind::Radicale)) << "radicale is not installed";
        alice_server =
            std::make_unique<CalDavTestServer>(CalDavServerKind::Radicale, "alice@example.com", "alice-secret");
        bob_server = std::make_unique<CalDavTestServer>(CalDavServerKind::Radicale, "bob@example.com", "bob-secret");
        home = alice_server->create_calendar("home", "Home", { "VEVENT" }, "#FF0000FF");
        work = alice_server->create_calendar("work", "Work");
        bobs = bob_server->create_calendar("bobs", "Bob's");
        app = std::make_unique<WrenfoldApp>(platform::QueueMap {}, platform::EventMap {},
                                            AppEnvironment { { folders.path() / "data", folders.path() / "module" } });
        bridge = std::make_unique<AppBridge>(*app);
        host = std::make_unique<platform::BrowserHost>("<html></html>", folders.path() / "module" / "html", *bridge);
        host->start(0);
        page_client = std::make_unique<Page>(*host);
    }
    void TearDown() override
    {
        if (host)
            host->stop();
    }

    std::unique_ptr<CalDavTestServer> alice_server, bob_server;
    std::string home, work, bobs;
    TempDir folders;
    std::unique_ptr<WrenfoldApp> app;
    std::unique_ptr<AppBridge> bridge;
    std::unique_ptr<platform::BrowserHost> host;
    std::unique_ptr<Page> page_client;
};

}  // namespace

TEST_F(CalendarEndToEnd, AccountsCalendarsAndEventsThroughTheBrowserHost)
{
    Page& page = *page_client;

    // Accounts: a wrong password, the right one, the same Apple ID again.
    point_engines_at(*alice_server);
    Json refused = page.call("add_account", Json::array({ "alice@example.com", "wrong" }));
    EXPECT_EQ(refused["error"], "iCloud sign-in failed (HTTP 401). Check the Apple ID and app-specific password.");
    Json alice_added = page.call("add_account", Json::array({ " alice@example.com ", "alice-secret" }));
    ASSERT_EQ(alice_added["ok"], true) << alice_added.dump();
    std::string alice = alice_added["account"]["id"];
    EXPECT_EQ(page.call("add_account", Json::array({ "Alice@Example.COM", "alice-secret" }))["error"],
              "This Apple ID is already added: Alice@Example.COM");
    point_engines_at(*bob_server);
    Json bob_added = page.call("add_account", Json::array({ "bob@example.com", "bob-secret" }));
    ASSERT_EQ(bob_added["ok"], true) << bob_added.dump();
    std::string bob = bob_added["account"]["id"];
    wrenfold::testing::unset_environment("WRENFOLD_CALDAV_URL");
    EXPECT_EQ(page.tokens(), std::make_pair(std::int64_t { 2 }, std::int64_t { 2 }));

    Json listed = page.call("list_accounts");
    ASSERT_EQ(listed["accounts"].size(), 2u);
    std::vector<std::string> alice_urls;
    for (const Json& calendar : listed["accounts"][0]["calendars"])
        alice_urls.push_back(calendar["url"]);
    EXPECT_EQ(alice_urls.size(), 2u);
    EXPECT_NE(std::find(alice_urls.begin(), alice_urls.end(), work), alice_urls.end());
    EXPECT_EQ(listed["default_calendar"], alice_urls[0]);

    // Hide and show a calendar (no token moves), choose a default.
    page.call("set_calendar_visible", Json::array({ alice, work, false }));
    EXPECT_EQ(page.call("list_accounts")["accounts"][0]["calendars"][alice_urls[0] == work ? 0 : 1]["visible"], false);
    page.call("set_calendar_visible", Json::array({ alice, work, true }));
    EXPECT_EQ(page.call("set_default_calendar", Json::array({ work })), Json::parse(R"({"ok": true})"));
    EXPECT_EQ(page.call("list_accounts")["default_calendar"], work);
    EXPECT_EQ(page.tokens(), std::make_pair(std::int64_t { 2 }, std::int64_t { 2 }));

    // Create, and see it tagged in the query.
    Json fields = Json::parse(R"({"summary": "Tea", "start": "2025-05-06T10:00:00", "end": "2025-05-06T11:00:00"})");
    Json created = page.call("create_event", Json::array({ alice, home, fields }));
    ASSERT_EQ(created["ok"], true) << created.dump();
    EXPECT_EQ(page.tokens().first, 3);
    auto events = server_events(page);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]["summary"], "Tea");
    EXPECT_EQ(events[0]["account_id"], alice);
    EXPECT_EQ(events[0]["calendar_url"], home);
    EXPECT_EQ(events[0]["calendar_name"], "Home");
    EXPECT_EQ(events[0]["read_only"], false);
    EXPECT_EQ(page.call("get_runtime_state")["sync_status"][home], "ok");

    // Update it.
    Json updated = page.call(
        "update_event", Json::array({ alice, events[0]["url"], events[0]["etag"], { { "summary", "Tea at four" } } }));
    ASSERT_EQ(updated["ok"], true) << updated.dump();
    events = server_events(page);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]["summary"], "Tea at four");
    EXPECT_EQ(events[0]["start"], "2025-05-06T10:00:00");

    // Move it within the account, then to the other account.
    // The editor hands over all its values, so that a create in another account makes the whole event.
    Json move_fields = { { "uid", events[0]["uid"] },
                         { "summary", "Tea at four" },
                         { "start", events[0]["start"] },
                         { "end", events[0]["end"] },
                         { "all_day", false } };
    Json moved =
        page.call("move_event", Json::array({ alice, events[0]["url"], events[0]["etag"], alice, work, move_fields }));
    ASSERT_EQ(moved["ok"], true) << moved.dump();
    events = server_events(page);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]["calendar_url"], work);
    Json across =
        page.call("move_event", Json::array({ alice, events[0]["url"], events[0]["etag"], bob, bobs, move_fields }));
    ASSERT_EQ(across["ok"], true) << across.dump();
    events = server_events(page);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]["account_id"], bob);
    EXPECT_EQ(events[0]["calendar_name"], "Bob's");
    EXPECT_EQ(events[0]["uid"], move_fields["uid"]);
    EXPECT_EQ(events[0]["start"], "2025-05-06T10:00:00");

    // Delete it. Calendars listed for the first time were synced in the
    // background above, which may have raised the token too; the delete
    // raises it once more.
    auto before_delete = page.tokens();
    Json deleted = page.call("delete_event", Json::array({ bob, events[0]["url"], events[0]["etag"] }));
    ASSERT_EQ(deleted["ok"], true) << deleted.dump();
    EXPECT_TRUE(server_events(page).empty());
    EXPECT_EQ(page.tokens(), std::make_pair(before_delete.first + 1, std::int64_t { 2 }));

    // A bad date fails the call itself; a change the server refuses is a failure object, no token moves.
    EXPECT_EQ(page.post("get_events", Json::array({ "2025-13-01", "2025-06-01" })).first, 500);
    Json refused_change =
        page.call("update_event", Json::array({ bob, across["url"], "\"stale\"", { { "summary", "x" } } }));
    EXPECT_EQ(refused_change["ok"], false);
    EXPECT_FALSE(refused_change.value("error", "").empty());
    EXPECT_EQ(page.tokens().first, before_delete.first + 1);
}

TEST_F(CalendarEndToEnd, ACrossAccountMoveWhoseDeleteFailsLeavesTheEventWhereItWas)
{
    if (!alice_server->supports_read_only())
        GTEST_SKIP() << "the server cannot make a calendar read-only";
    Page& page = *page_client;
    point_engines_at(*alice_server);
    std::string alice = page.call("add_account", Json::array({ "alice@example.com", "alice-secret" }))["account"]["id"];
    point_engines_at(*bob_server);
    std::string bob = page.call("add_account", Json::array({ "bob@example.com", "bob-secret" }))["account"]["id"];
    wrenfold::testing::unset_environment("WRENFOLD_CALDAV_URL");

    Json fields = Json::parse(R"({"summary": "Stays", "start": "2025-05-07", "end": "2025-05-08", "all_day": true})");
    ASSERT_EQ(page.call("create_event", Json::array({ alice, home, fields }))["ok"], true);
    ASSERT_TRUE(alice_server->make_read_only("home"));
    auto before = server_events(page);
    ASSERT_EQ(before.size(), 1u);
    std::int64_t refresh = page.tokens().first;

    fields["uid"] = before[0]["uid"];
    Json moved =
        page.call("move_event", Json::array({ alice, before[0]["url"], before[0]["etag"], bob, bobs, fields }));
    EXPECT_EQ(moved["ok"], false);
    EXPECT_NE(moved.value("error", "").find("403"), std::string::npos) << moved.dump();
    auto after = server_events(page);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0]["calendar_url"], home);
    EXPECT_EQ(after[0]["read_only"], false);  // as discovered before the rights changed
    EXPECT_EQ(page.tokens().first, refresh);
}
