// Which addresses count as an event or a calendar of an account.
#include "caldav/url.h"

#include <gtest/gtest.h>

namespace wrenfold::caldav {
namespace {

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
