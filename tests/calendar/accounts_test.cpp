#include "support/fake_app.h"

#include <gtest/gtest.h>

#include <thread>
#include <tuple>

using wrenfold::Json;
using wrenfold::testing::calendars;
using wrenfold::testing::FakeApp;

TEST(Accounts, AddStoresTheTrimmedAccountAndReusesTheVerifiedEngine)
{
    FakeApp fake;
    auto server = fake.engines.engine("ann@example.com");
    server->set_calendars(Json::parse(R"([{"url": "https://p/r/", "name": "Shared", "read_only": true},
                                          {"url": "https://p/w/", "name": "Mine", "color": "#00FF00"}])"));
    Json added = fake.app->add_account("  ann@example.com ", "\tpw  ");
    ASSERT_EQ(added["ok"], true) << added.dump();
    std::string id = added["account"]["id"];
    EXPECT_EQ(id.size(), 32u);
    EXPECT_EQ(added["account"]["calendars"][1],
              Json::parse(R"({"url": "https://p/w/", "name": "Mine", "color": "#00FF00", "read_only": false,
                              "visible": true})"));
    EXPECT_EQ(added["default_calendar"], "https://p/w/");  // the first writable one
    EXPECT_EQ(fake.engines.zones(), std::vector<std::string> { "Asia/Taipei" });

    auto account = fake.app->_account_by_id(id);
    ASSERT_TRUE(account);
    EXPECT_EQ(account->apple_id, "ann@example.com");
    EXPECT_EQ(account->app_password, "pw");
    EXPECT_EQ(account->home_tzid, "Asia/Taipei");
    fake.app->_engine_for(*account);
    EXPECT_EQ(fake.engines.made(), 1);
    EXPECT_EQ(fake.state()["calendars_token"], 1);
    EXPECT_EQ(fake.state()["refresh_token"], 1);

    // A second account leaves the default alone; after a restart, the engine is made lazily with the zone.
    fake.add("bob@example.com", calendars("https://q", 1));
    EXPECT_EQ(fake.app->list_accounts()["default_calendar"], "https://p/w/");
    fake.restart();
    fake.app->_engine_for(*fake.app->_account_by_id(id));
    fake.app->_engine_for(*fake.app->_account_by_id(id));
    EXPECT_EQ(fake.engines.made(), 3);
    EXPECT_EQ(fake.engines.zones().back(), "Asia/Taipei");
    EXPECT_EQ(fake.app->list_accounts()["accounts"].size(), 2u);
    EXPECT_EQ(fake.app->list_accounts().dump().find("\"pw\""), std::string::npos);
}

namespace {

// Nothing was stored or announced: the one account added first is all there is.
void expect_only_the_first_account(FakeApp& fake)
{
    EXPECT_EQ(fake.app->list_accounts()["accounts"].size(), 1u);
    EXPECT_EQ(fake.state()["calendars_token"], 1);
}

}  // namespace

TEST(Accounts, AddRefusesMissingFieldsAndTakenAppleIds)
{
    FakeApp fake;
    fake.add("ann@example.com", calendars("https://p", 1));
    const std::vector<std::tuple<Json, Json, std::string>> cases {
        { " ", "pw", "Please enter both Apple ID and app-specific password." },
        { "bob@example.com", nullptr, "Please enter both Apple ID and app-specific password." },
        { " ANN@Example.com ", "pw", "This Apple ID is already added: ANN@Example.com" },
    };
    for (const auto& [apple_id, password, error] : cases) {
        SCOPED_TRACE(apple_id.dump() + " / " + password.dump());
        EXPECT_EQ(fake.app->add_account(apple_id, password)["error"], error);
    }
    expect_only_the_first_account(fake);
}

TEST(Accounts, TheSameAppleIdAddedFromTwoThreadsAtOnceIsAddedOnce)
{
    FakeApp fake;
    fake.add("ann@example.com", calendars("https://p", 1));
    auto server = fake.engines.engine("bob@example.com");
    server->set_calendars(calendars("https://q", 1));
    server->hold_discovery_until(2);  // both calls are past the first look at the list
    Json answers[2];
    std::thread other([&] { answers[1] = fake.app->add_account("bob@example.com", "pw"); });
    answers[0] = fake.app->add_account("bob@example.com", "pw");
    other.join();
    EXPECT_NE(answers[0]["ok"], answers[1]["ok"]) << answers[0].dump() << answers[1].dump();
    for (const Json& answer : answers) {
        if (answer["ok"] == false) {
            EXPECT_EQ(answer["error"].get<std::string>().rfind("This Apple ID is already added: ", 0), 0u);
        }
    }
    EXPECT_EQ(fake.app->list_accounts()["accounts"].size(), 2u);
}

TEST(Accounts, AddNamesRefusedCredentialsInTheInterfaceLanguage)
{
    FakeApp fake;
    fake.add("ann@example.com", calendars("https://p", 1));
    fake.engines.engine("bob@example.com")->refuse_credentials(401);
    EXPECT_EQ(fake.app->add_account("bob@example.com", "pw")["error"],
              "iCloud sign-in failed (HTTP 401). Check the Apple ID and app-specific password.");
    fake.app->set_language("zh-Hant");
    EXPECT_EQ(fake.app->add_account("bob@example.com", "pw")["error"],
              "iCloud 登入失敗（HTTP 401）。請確認 Apple ID 與 App 專用密碼。");
    fake.app->set_language("en");
    expect_only_the_first_account(fake);
}

TEST(Accounts, AddNamesNetworkAndDiscoveryFailures)
{
    FakeApp fake;
    fake.add("ann@example.com", calendars("https://p", 1));
    auto unreachable = fake.engines.engine("carl@example.com");
    unreachable->fail("check_auth", "could not resolve host");
    EXPECT_EQ(fake.app->add_account("carl@example.com", "pw")["error"], "Cannot reach iCloud: could not resolve host");
    unreachable->heal("check_auth");
    unreachable->fail("discover", "HTTP 500");
    Json failed = fake.app->add_account("carl@example.com", "pw");
    EXPECT_EQ(failed, Json::parse(R"({"ok": false, "error": "Signed in but failed to list calendars: HTTP 500"})"));
    expect_only_the_first_account(fake);
}

TEST(Accounts, ASignInCalledOffAddsNothingWhenItsAnswerComesAndOnlyItself)
{
    FakeApp fake;
    fake.add("ann@example.com", calendars("https://p", 1));
    fake.engines.engine("bob@example.com")->set_calendars(calendars("https://q", 1));
    fake.app->cancel_add_account("sign-in-1");
    Json late = fake.app->add_account("bob@example.com", "pw", "sign-in-1");
    EXPECT_EQ(late["ok"], false);
    EXPECT_EQ(late["cancelled"], true);
    expect_only_the_first_account(fake);

    // The cancel was used up by its own sign-in: the next one goes through.
    EXPECT_EQ(fake.app->add_account("bob@example.com", "pw", "sign-in-1")["ok"], true);
    EXPECT_EQ(fake.app->list_accounts()["accounts"].size(), 2u);
}

TEST(Accounts, RemoveDropsAccountAndEngineButKeepsTheDefault)
{
    FakeApp fake;
    std::string ann = fake.add("ann@example.com", calendars("https://p", 1));
    std::string bob = fake.add("bob@example.com", calendars("https://q", 1));

    Json removed = fake.app->remove_account(ann);
    EXPECT_EQ(removed["ok"], true);
    ASSERT_EQ(removed["accounts"].size(), 1u);
    EXPECT_EQ(removed["accounts"][0]["id"], bob);
    EXPECT_EQ(fake.app->list_accounts()["default_calendar"], "https://p/a/");
    EXPECT_NE(fake.folders.accounts_file_text().find(bob), std::string::npos);
    EXPECT_EQ(fake.folders.accounts_file_text().find(ann), std::string::npos);

    Json none = fake.app->remove_account("no-such-id");
    EXPECT_EQ(none["accounts"], removed["accounts"]);
    EXPECT_EQ(fake.state()["calendars_token"], 4);

    // The same Apple ID can come back, with a new engine.
    int made = fake.engines.made();
    std::string again = fake.add("ann@example.com", calendars("https://p", 1));
    EXPECT_NE(again, ann);
    EXPECT_EQ(fake.engines.made(), made + 1);
}
