#include "shell/link_rules.h"

#include <gtest/gtest.h>

TEST(LinkRules, WebLinksLeaveWholeAndMailLinksAsTheAddressAlone)
{
    const std::pair<const char*, const char*> links[] = {
        { "https://example.org/", "https://example.org/" },
        { "http://example.org/a?b=c#d", "http://example.org/a?b=c#d" },
        { "HTTPS://EXAMPLE.ORG", "HTTPS://EXAMPLE.ORG" },
        { "mailto:someone@example.org", "mailto:someone@example.org" },
        { "MailTo:a@b.c?subject=x", "MailTo:a@b.c" },
        { "mailto:x@y?attach=/etc/passwd", "mailto:x@y" },
        { "mailto:x@y#attach=/etc/passwd", "mailto:x@y" },
    };
    for (auto [link, handed] : links) {
        SCOPED_TRACE(link);
        EXPECT_EQ(wrenfold::link_to_open(link), handed);
    }
}

TEST(LinkRules, EveryOtherLinkStaysInside)
{
    for (auto link : { "", "javascript:alert(1)", "JavaScript:alert(1)", "file:///etc/passwd", "data:text/html,x",
                       "wrenfold://app/", "ftp://example.org/", "https:", "https:/x", "https:///etc/passwd",
                       "mailto:", "mailto:?attach=/etc/passwd", "example.org", "-https://x", "https://example.org/ a",
                       "https://example.org/\n", "vbscript:x", "smb://host/share" }) {
        SCOPED_TRACE(link);
        EXPECT_FALSE(wrenfold::link_to_open(link));
    }
}
