// The assistant's calendar actions through the bridge, the application object
// and the real CalDAV engine, against two Radicale servers on loopback (one
// per account, each with a calendar named "Work").
#include "app/bridge_table.h"
#include "app/wrenfold_app.h"
#include "support/bridge_calls.h"
#include "support/caldav_server.h"
#include "support/environment.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace wrenfold;
using wrenfold::testing::CalDavServerKind;
using wrenfold::testing::CalDavTestServer;
using wrenfold::testing::TempDir;

namespace {

class CalendarActionsOnRadicale : public ::testing::Test {
protected:
    void SetUp() override
    {
        // scripts/setup installs the servers: a missing one is a broken set-up, not a pass.
        ASSERT_TRUE(wrenfold::testing::server_installed(CalDavServerKind::Radicale)) << "radicale is not installed";
        alice_server =
            std::make_unique<CalDavTestServer>(CalDavServerKind::Radicale, "alice@example.com", "alice-secret");
        bob_server = std::make_unique<CalDavTestServer>(CalDavServerKind::Radicale, "bob@example.com", "bob-secret");
        alice_server->create_calendar("home", "Home");
        alice_work = alice_server->create_calendar("work", "Work");
        bob_work = bob_server->create_calendar("work", "Work");
        wrenfold::testing::set_environment("HOME", (folders.path() / "home").string());
        wrenfold::testing::set_environment("XDG_DATA_HOME", (folders.path() / "xdg").string());
        app = std::make_unique<WrenfoldApp>(platform::QueueMap {}, platform::EventMap {},
                                            AppEnvironment { { folders.path() / "data", folders.path() / "module" } });
        bridge = std::make_unique<AppBridge>(*app);
        add_account(*alice_server, "alice-secret");
        add_account(*bob_server, "bob-secret");
    }

    void add_account(const CalDavTestServer& server, const std::string& password)
    {
        wrenfold::testing::set_environment("WRENFOLD_CALDAV_URL", server.root_url());
        Json added = call("add_account", Json::array({ server.user(), password }));
        wrenfold::testing::unset_environment("WRENFOLD_CALDAV_URL");
        ASSERT_EQ(added["ok"], true) << added.dump();
    }

    Json call(const std::string& method, const Json& args)
    {
        BridgeReply reply = bridge->call(method, args);
        if (reply.status != BridgeReply::Status::Ok)
            throw std::runtime_error(method + " failed: " + reply.error);
        return wrenfold::testing::reply_result(reply);
    }
    Json action(const std::string& method, const std::string& payload)
    {
        return call(method, Json::array({ Json::parse(payload) }));
    }
    Json june() { return action("claude_query_events", R"({"start": "2025-06-01", "end": "2025-07-01"})"); }
    std::int64_t refresh_token() { return call("get_runtime_state", Json::array())["refresh_token"]; }

    TempDir folders;
    std::unique_ptr<CalDavTestServer> alice_server, bob_server;
    std::string alice_work, bob_work;
    std::unique_ptr<WrenfoldApp> app;
    std::unique_ptr<AppBridge> bridge;
};

}  // namespace

TEST_F(CalendarActionsOnRadicale, CreateQueryMoveUpdateAndDeleteAWeeklyEvent)
{
    std::int64_t before = refresh_token();

    // Into Bob's "Work" by name and hint, although Alice's is listed first.
    Json created = action("claude_create_event", R"({"summary": "Stand-up", "start": "2025-06-02T09:00:00",
        "end": "2025-06-02T09:15:00", "rrule": "FREQ=WEEKLY;COUNT=4", "calendar": "work", "account": "Bob",
        "location": "Room 4"})");
    ASSERT_EQ(created["ok"], true) << created.dump();
    EXPECT_EQ(created["account"], "bob@example.com");
    EXPECT_EQ(created["calendar"], "Work");
    EXPECT_EQ(created["url"].get<std::string>().rfind(bob_work, 0), 0u) << created.dump();

    // Four occurrences in June, one item.
    Json listed = june();
    ASSERT_EQ(listed["count"], 1) << listed.dump();
    Json item = listed["events"][0];
    EXPECT_EQ(item["summary"], "Stand-up");
    EXPECT_EQ(item["start"], "2025-06-02T09:00:00");
    EXPECT_EQ(item["recurring"], true);
    EXPECT_EQ(item["location"], "Room 4");
    EXPECT_EQ(item["account"], "bob@example.com");
    EXPECT_EQ(item["url"], created["url"]);

    // To Alice's "Work": created there, gone from Bob's; the series and its place come along.
    Json move = Json::object({ { "url", item["url"] },
                               { "etag", item["etag"] },
                               { "calendar", "Work" },
                               { "account", "alice@example.com" },
                               { "start", "2025-06-03T09:00:00" },
                               { "end", "2025-06-03T09:15:00" } });
    Json moved = call("claude_update_event", Json::array({ move }));
    ASSERT_EQ(moved["moved"], true) << moved.dump();
    EXPECT_EQ(moved["url"].get<std::string>().rfind(alice_work, 0), 0u) << moved.dump();
    listed = june();
    ASSERT_EQ(listed["count"], 1) << listed.dump();
    item = listed["events"][0];
    EXPECT_EQ(item["account"], "alice@example.com");
    EXPECT_EQ(item["start"], "2025-06-03T09:00:00");
    EXPECT_EQ(item["recurring"], true);
    EXPECT_EQ(item["location"], "Room 4");
    EXPECT_EQ(alice_server->get_resource(moved["url"]).find("FREQ=WEEKLY;COUNT=4") != std::string::npos, true);

    // A calendar name that matches nothing leaves it where it is and still applies the edit.
    Json stays = Json::object({ { "url", item["url"] }, { "calendar", "Gym" }, { "summary", "Daily stand-up" } });
    Json updated = call("claude_update_event", Json::array({ stays }));
    ASSERT_EQ(updated["ok"], true) << updated.dump();
    EXPECT_FALSE(updated.contains("moved"));
    listed = june();
    ASSERT_EQ(listed["count"], 1);
    EXPECT_EQ(listed["events"][0]["summary"], "Daily stand-up");
    EXPECT_EQ(listed["events"][0]["url"], item["url"]);
    EXPECT_EQ(listed["events"][0]["etag"], updated["etag"]);

    // A stale etag is the server's refusal, passed on; the token stays.
    std::int64_t before_refusal = refresh_token();
    Json stale = call("claude_delete_event", Json::array({ { { "url", item["url"] }, { "etag", item["etag"] } } }));
    EXPECT_EQ(stale["ok"], false) << stale.dump();
    EXPECT_EQ(refresh_token(), before_refusal);

    Json deleted =
        call("claude_delete_event", Json::array({ { { "url", item["url"] }, { "etag", updated["etag"] } } }));
    EXPECT_EQ(deleted, Json::object({ { "ok", true }, { "url", item["url"] } }));
    EXPECT_EQ(june()["count"], 0);
    // The delete raised the token; no earlier refusal did.
    EXPECT_EQ(refresh_token(), before_refusal + 1);
    EXPECT_GE(before_refusal, before + 3);
}
