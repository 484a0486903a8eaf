#include "assistant/calendar_choice.h"
#include "sample_accounts.h"

#include <gtest/gtest.h>

using namespace wrenfold;
using namespace wrenfold::assistant;

namespace {

std::vector<Account> two_accounts()
{
    return parse_accounts(wrenfold::testing::two_accounts());
}

}  // namespace

TEST(DefaultCalendar, IsTheStoredOneWhenWritableElseTheFirstWritable)
{
    auto accounts = two_accounts();
    EXPECT_EQ(default_calendar(accounts, "https://b/w/")->calendar.url, "https://b/w/");
    EXPECT_EQ(default_calendar(accounts, "https://a/h/")->calendar.url, "https://a/w/");  // read-only default
    EXPECT_EQ(default_calendar(accounts, "")->calendar.url, "https://a/w/");
    EXPECT_EQ(default_calendar(accounts, "https://b/w/")->account.id, "B2");
    EXPECT_FALSE(default_calendar({}, ""));
}

TEST(AccountMatches, IdAppleIdOrItsLocalPartWithoutCaseOrBlanks)
{
    const Account bob = two_accounts()[1];
    const std::vector<std::pair<std::string, bool>> cases {
        { " BOB ", true }, { "b2", true }, { "Bob@Me.com", true }, { "", false }, { "me.com", false },
    };
    for (const auto& [hint, matches] : cases) {
        SCOPED_TRACE("hint '" + hint + "'");
        EXPECT_EQ(account_matches(bob, hint), matches);
    }
}

TEST(ResolveCalendar, UrlThenHintedNameThenAnyNameThenTheDefault)
{
    struct Case {
        std::string name, hint, calendar_url, expected_url, why;
    };
    const std::vector<Case> cases {
        { "Work", "", " https://b/w/ ", "https://b/w/", "an exact writable URL wins over the name" },
        { "WORK", "bob", "", "https://b/w/", "the hint beats account order" },
        { " work ", "", "", "https://a/w/", "names match without case or blanks, in account order" },
        { "Work", "nobody", "", "https://a/w/", "a hint naming no account is ignored" },
        { "Nowhere", "", "", "https://a/home/", "an unknown name falls back to the default" },
        { "Shared", "", "https://b/s/", "https://a/home/", "read-only URL and name are skipped" },
    };
    auto accounts = two_accounts();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        auto chosen = resolve_calendar(accounts, "https://a/home/", c.name, c.hint, c.calendar_url);
        ASSERT_TRUE(chosen);
        EXPECT_EQ(chosen->calendar.url, c.expected_url);
    }
    EXPECT_FALSE(resolve_calendar({}, "https://a/home/", "Work"));
}
