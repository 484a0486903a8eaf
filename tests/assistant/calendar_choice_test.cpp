#include "assistant/calendar_choice.h"
#include "sample_accounts.h"

#include <gtest/gtest.h>

using namespace wrenfold;
using namespace wrenfold::assistant;
using namespace wrenfold::testing;

TEST(CalendarChoice, DefaultAndResolutionPriorities)
{
    auto accounts = two_accounts();
    EXPECT_EQ(default_calendar(accounts, "https://b/w/")->calendar["url"], "https://b/w/");
    EXPECT_EQ(default_calendar(accounts, "https://a/h/")->calendar["url"], "https://a/w/");  // read-only default
    EXPECT_EQ(default_calendar(accounts, "")->calendar["url"], "https://a/w/");
    EXPECT_FALSE(default_calendar(Json::array(), ""));

    EXPECT_TRUE(account_matches(accounts[1], " BOB "));
    EXPECT_TRUE(account_matches(accounts[1], "b2"));
    EXPECT_TRUE(account_matches(accounts[1], "Bob@Me.com"));
    EXPECT_FALSE(account_matches(accounts[1], ""));
    EXPECT_FALSE(account_matches(accounts[1], "me.com"));

    auto url = [&](const std::string& name, const std::string& hint, const std::string& calendar_url) {
        return resolve_calendar(accounts, "https://a/home/", name, hint, calendar_url)->calendar["url"];
    };
    EXPECT_EQ(url("Work", "", " https://b/w/ "), "https://b/w/");
    EXPECT_EQ(url("WORK", "bob", ""), "https://b/w/");  // the hint beats account order
    EXPECT_EQ(url(" work ", "", ""), "https://a/w/");
    EXPECT_EQ(url("Work", "nobody", ""), "https://a/w/");
    EXPECT_EQ(url("Nowhere", "", ""), "https://a/home/");             // unknown name: the default
    EXPECT_EQ(url("Shared", "", "https://b/s/"), "https://a/home/");  // read-only URL and name are skipped
}
