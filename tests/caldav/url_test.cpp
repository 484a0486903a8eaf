// Addresses: their one spelling, their resolution, and which count as an
// event or a calendar of an account.
#include "caldav/url.h"

#include <gtest/gtest.h>

namespace wrenfold::caldav {
namespace {

TEST(NormalizePath, GivesOneSpellingPerPath)
{
    const std::vector<std::pair<std::string, std::string>> cases {
        { "/alice@example.com/cal/", "/alice%40example.com/cal/" },
        { "/alice%40example.com/a%2fb/%7e/", "/alice%40example.com/a%2Fb/~/" },
        { "/a/./b/../c", "/a/c" },
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(normalize_path(path), expected) << path;
}

TEST(ResolveHref, ReadsAbsoluteAndRelativeHrefsAgainstTheBase)
{
    auto base = parse_url("HTTPS://Caldav.iCloud.com/123/principal/");
    ASSERT_TRUE(base);
    EXPECT_EQ(origin_of(*base), "https://caldav.icloud.com:443");
    EXPECT_EQ(to_string(*resolve_href(*base, "https://p42-caldav.icloud.com:443/123/calendars/")),
              "https://p42-caldav.icloud.com/123/calendars/");
    EXPECT_EQ(to_string(*resolve_href(*base, "../calendars/x y.ics")),
              "https://caldav.icloud.com/123/calendars/x%20y.ics");
}

TEST(ParseUrl, RefusesOtherSchemesUserInfoAndBadPorts)
{
    for (const char* refused : { "ftp://host/", "https://user:pw@host/", "https://host:99999/" })
        EXPECT_FALSE(parse_url(refused)) << refused;
}

TEST(IsLoopbackHost, OnlyTheLoopbackAddressesThemselves)
{
    const std::vector<std::pair<std::string, bool>> cases {
        { "127.0.0.1", true },
        { "::1", true },
        { "127.0.0.1.example.com", false },
    };
    for (const auto& [host, loopback] : cases)
        EXPECT_EQ(is_loopback_host(host), loopback) << host;
}

TEST(EventAddresses, OnlyResourcesDirectlyInsideACalendar)
{
    const std::string home = "/123/calendars/";
    EXPECT_TRUE(is_event_path(home, "/123/calendars/work/e1.ics"));
    EXPECT_TRUE(is_calendar_path(home, "/123/calendars/work/"));
    for (const char* path :
         { "/123/calendars/", "/123/calendars/work/", "/123/", "/123/calendars/work", "/123/calendars/work/sub/e1.ics",
           "/456/calendars/work/e1.ics", "/123/calendars/work/e1.ics?x", "/123/calendars//e1.ics" })
        EXPECT_FALSE(is_event_path(home, path)) << path;
    for (const char* path : { "/123/calendars/", "/123/calendars/work/e1.ics", "/123/calendars/a/b/" })
        EXPECT_FALSE(is_calendar_path(home, path)) << path;

    for (const char* url : { "https://h/123/calendars/work/../e.ics", "https://h/123/calendars/work/./e.ics",
                             "https://h/123/calendars/work/%2e%2E/x/e.ics", "https://h/123/calendars/work/%2E" })
        EXPECT_TRUE(has_dot_segment(url)) << url;
    EXPECT_FALSE(has_dot_segment("https://h/123/calendars/work/..e.ics"));
    EXPECT_FALSE(has_dot_segment("https://h/123/calendars/work/e.ics?a=../b"));

    EXPECT_TRUE(is_inside_calendar("https://h/c/work/", "https://h/c/work/e1.ics"));
    for (const char* url : { "https://h/c/work/", "https://h/c/", "https://h/c/work/a/b.ics",
                             "https://h/c/work/../x.ics", "https://h/c/worker/e.ics", "https://h/c/work/e.ics#frag" })
        EXPECT_FALSE(is_inside_calendar("https://h/c/work/", url)) << url;
}

}  // namespace
}  // namespace wrenfold::caldav
