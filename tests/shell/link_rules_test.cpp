#include "shell/link_rules.h"

#include <gtest/gtest.h>

TEST(LinkRules, WebAndMailLinksLeaveTheProgram)
{
    for (auto link : { "https://example.org/", "http://example.org/a?b=c#d", "HTTPS://EXAMPLE.ORG",
                       "mailto:someone@example.org", "MailTo:a@b.c?subject=x" }) {
        SCOPED_TRACE(link);
        EXPECT_TRUE(wrenfold::is_openable_link(link));
    }
}

TEST(LinkRules, EveryOtherLinkStaysInside)
{
    for (auto link : { "", "javascript:alert(1)", "JavaScript:alert(1)", "file:///etc/passwd", "data:text/html,x",
                       "wrenfold://app/", "ftp://example.org/", "https:", "https:/x", "https:///etc/passwd",
                       "mailto:", "example.org", "-https://x", "https://example.org/ a", "https://example.org/\n",
                       "vbscript:x", "smb://host/share" }) {
        SCOPED_TRACE(link);
        EXPECT_FALSE(wrenfold::is_openable_link(link));
    }
}
