#include "shell/command_line.h"
#include "shell/link_rules.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

wrenfold::LaunchOptions parse(std::vector<const char*> args)
{
    args.insert(args.begin(), "wrenfold");
    return wrenfold::parse_command_line(static_cast<int>(args.size()), args.data());
}

}  // namespace

TEST(CommandLine, ReadsTheBrowserOptions)
{
    auto defaults = parse({});
    EXPECT_FALSE(defaults.browser);
    EXPECT_EQ(defaults.port, 0);
    EXPECT_TRUE(defaults.open_browser);

    auto options = parse({ "--browser", "--port", "8765", "--no-open" });
    EXPECT_TRUE(options.browser);
    EXPECT_EQ(options.port, 8765);
    EXPECT_FALSE(options.open_browser);
    EXPECT_EQ(parse({ "--port=0" }).port, 0);

    for (auto bad : std::vector<std::vector<const char*>> { { "--port" },
                                                            { "--port", "x" },
                                                            { "--port", "65536" },
                                                            { "--port", "-1" },
                                                            { "--port", "80a" },
                                                            { "-v" } })
        EXPECT_THROW(parse(bad), std::invalid_argument);
}

TEST(CommandLine, HelpAndVersionAreOptionsOfTheirOwn)
{
    EXPECT_TRUE(parse({ "--help" }).show_help);
    EXPECT_TRUE(parse({ "-h" }).show_help);
    EXPECT_TRUE(parse({ "--browser", "--version" }).show_version);
    EXPECT_FALSE(parse({ "--browser" }).show_help);
    EXPECT_THROW(parse({ "--help=1" }), std::invalid_argument);
    EXPECT_NE(wrenfold::help_text().find("--browser"), std::string::npos);
    EXPECT_TRUE(wrenfold::version_text().starts_with("wrenfold "));
}

TEST(LinkRules, OnlyWebAndMailLinksLeaveTheProgram)
{
    for (auto link : { "https://example.org/", "http://example.org/a?b=c#d", "HTTPS://EXAMPLE.ORG",
                       "mailto:someone@example.org", "MailTo:a@b.c?subject=x" })
        EXPECT_TRUE(wrenfold::is_openable_link(link)) << link;
    for (auto link : { "", "javascript:alert(1)", "JavaScript:alert(1)", "file:///etc/passwd", "data:text/html,x",
                       "wrenfold://app/", "ftp://example.org/", "https:", "https:/x", "https:///etc/passwd",
                       "mailto:", "example.org", "-https://x", "https://example.org/ a", "https://example.org/\n",
                       "vbscript:x", "smb://host/share" })
        EXPECT_FALSE(wrenfold::is_openable_link(link)) << link;
}
