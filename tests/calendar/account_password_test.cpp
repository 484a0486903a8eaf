// A new app-specific password replaces the old one only once the server
// takes it.
#include "support/fake_app.h"

#include <gtest/gtest.h>

using wrenfold::Json;
using wrenfold::testing::calendars;
using wrenfold::testing::FakeApp;

TEST(AccountPassword, OnlyAPasswordTheServerAcceptsIsStored)
{
    FakeApp fake;
    std::string id = fake.add("ann@example.com", calendars("https://p", 1));
    auto server = fake.engines.engine("ann@example.com");
    server->refuse_credentials(401);

    Json refused = fake.app->replace_account_password(id, "wrong");
    EXPECT_EQ(refused["ok"], false);
    EXPECT_NE(refused["error"].get<std::string>().find("401"), std::string::npos) << refused.dump();
    EXPECT_EQ(fake.app->replace_account_password(id, " \u3000")["ok"], false);
    EXPECT_EQ(fake.app->replace_account_password("nobody", "pw2")["error"], "account not found");
    EXPECT_EQ(fake.app->_account_by_id(id)->app_password, "pw");

    server->accept_credentials();
    std::int64_t before = fake.state()["refresh_token"];
    EXPECT_EQ(fake.app->replace_account_password(id, " new-pw ")["ok"], true);
    EXPECT_GT(fake.state()["refresh_token"], before);
    fake.restart();
    EXPECT_EQ(fake.app->_account_by_id(id)->app_password, "new-pw");
}
