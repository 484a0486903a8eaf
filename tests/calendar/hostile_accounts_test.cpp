// Accounts as people type them and as hand-edited stores hold them.
#include "app/bridge_table.h"
#include "support/fake_app.h"

#include "support/bridge_calls.h"

#include <gtest/gtest.h>

using wrenfold::AppBridge;
using wrenfold::BridgeReply;
using wrenfold::Json;
using wrenfold::testing::calendars;
using wrenfold::testing::call;
using wrenfold::testing::FakeApp;

TEST(HostileAccounts, UnicodeBlanksAreTrimmedAndLetterCaseFoldedBeyondAscii)
{
    FakeApp fake;
    AppBridge bridge(*fake.app);
    fake.engines.engine("ann@example.com")->set_calendars(calendars("https://p", 1));
    // An ideographic space and a no-break space, as input methods type them.
    Json added = call(bridge, "add_account", { "\u3000ann@example.com\u00a0", "\u00a0pw\u3000\u2003" });
    ASSERT_EQ(added["ok"], true) << added.dump();
    auto account = fake.app->_account_by_id(added["account"]["id"]);
    EXPECT_EQ(account->apple_id, "ann@example.com");
    EXPECT_EQ(account->app_password, "pw");
    EXPECT_EQ(call(bridge, "add_account", { "\u3000\u00a0", "pw" })["error"],
              "Please enter both Apple ID and app-specific password.");

    fake.add("ålice@example.com", calendars("https://a", 1));
    EXPECT_EQ(call(bridge, "add_account", { "Ålice@Example.com", "pw" })["error"],
              "This Apple ID is already added: Ålice@Example.com");
    fake.add("strasse@example.com", calendars("https://s", 1));
    EXPECT_EQ(call(bridge, "add_account", { "STRAßE@example.com", "pw" })["error"],
              "This Apple ID is already added: STRAßE@example.com");
    EXPECT_EQ(call(bridge, "list_accounts", Json::array())["accounts"].size(), 3u);
}

TEST(HostileAccounts, HandEditedRecordsAreListedAndCanBeRefreshedAndRemoved)
{
    FakeApp fake;
    fake.folders.store_accounts(R"({"accounts": [
        {"id": 7, "apple_id": "num@example.com", "app_password": "pw", "calendars": null},
        {"id": "text", "apple_id": "txt@example.com", "app_password": "pw", "calendars": [{"url": "https://t/a/", "name": "A"}]}]})");
    fake.restart();
    AppBridge bridge(*fake.app);
    Json listed = call(bridge, "list_accounts", Json::array())["accounts"];
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0]["id"], "7");
    EXPECT_EQ(listed[0]["calendars"], Json::array());

    fake.engines.engine("num@example.com")->set_calendars(calendars("https://n", 2));
    Json refreshed = call(bridge, "refresh_calendars", { "7" });
    ASSERT_EQ(refreshed["ok"], true) << refreshed.dump();
    EXPECT_EQ(call(bridge, "list_accounts", Json::array())["accounts"][0]["calendars"].size(), 2u);
    EXPECT_EQ(call(bridge, "set_calendar_visible", { "7", "https://n/a/", false })["ok"], true);
    EXPECT_EQ(fake.app->accounts_snapshot()[0].record["calendars"][0]["visible"], false);

    Json removed = call(bridge, "remove_account", { "7" });
    ASSERT_EQ(removed["accounts"].size(), 1u);
    EXPECT_EQ(removed["accounts"][0]["id"], "text");
    fake.restart();
    EXPECT_EQ(fake.app->accounts_snapshot().size(), 1u);
}
