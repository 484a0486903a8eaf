#include "core/utf8_path.h"
#include "shell/command_line.h"

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

TEST(CommandLine, WithoutOptionsTheWindowStartsOnAnyPort)
{
    auto defaults = parse({});
    EXPECT_FALSE(defaults.browser);
    EXPECT_EQ(defaults.port, 0);
    EXPECT_TRUE(defaults.open_browser);
}

TEST(CommandLine, ReadsTheBrowserOptions)
{
    auto options = parse({ "--browser", "--port", "8765", "--no-open" });
    EXPECT_TRUE(options.browser);
    EXPECT_EQ(options.port, 8765);
    EXPECT_FALSE(options.open_browser);
    EXPECT_EQ(parse({ "--port=0" }).port, 0);
}

TEST(CommandLine, RefusesAMissingOrBadPortAndUnknownOptions)
{
    for (auto bad : std::vector<std::vector<const char*>> { { "--port" },
                                                            { "--port", "x" },
                                                            { "--port", "65536" },
                                                            { "--port", "-1" },
                                                            { "--port", "80a" },
                                                            { "-v" } }) {
        std::string words;
        for (const char* word : bad)
            words += std::string(word) + " ";
        SCOPED_TRACE(words);
        EXPECT_THROW(parse(bad), std::invalid_argument);
    }
}

TEST(CommandLine, HelpAndVersionAreOptionsOfTheirOwn)
{
    EXPECT_TRUE(parse({ "--help" }).show_help);
    EXPECT_TRUE(parse({ "-h" }).show_help);
    EXPECT_TRUE(parse({ "--browser", "--version" }).show_version);
    EXPECT_FALSE(parse({ "--browser" }).show_help);
}

TEST(CommandLine, HelpTakesNoValue)
{
    EXPECT_THROW(parse({ "--help=1" }), std::invalid_argument);
}

TEST(CommandLine, TheHelpNamesTheOptionsAndTheVersionTheProgram)
{
    EXPECT_NE(wrenfold::help_text().find("--browser"), std::string::npos);
    EXPECT_TRUE(wrenfold::version_text().starts_with("wrenfold "));
}

TEST(CommandLine, TakesOneFileAsAPathOrALocalFileUri)
{
    struct Case {
        std::vector<const char*> args;
        const char* file;  // nullptr: refused
    };
    const std::vector<Case> cases = {
        { { "events.ics" }, "events.ics" },
        { { "--browser", "/tmp/a b.ics" }, "/tmp/a b.ics" },
        { { "file:///home/me/My%20Events.ics" }, "/home/me/My Events.ics" },
        { { "FILE://localhost/tmp/%E8%A1%8C%E7%A8%8B.ics" }, "/tmp/行程.ics" },
        { { "file:///tmp/x.ics?download=1#top" }, "/tmp/x.ics" },
        { { "--", "-starts-with-dash.ics" }, "-starts-with-dash.ics" },
        { { "one.ics", "two.ics" }, nullptr },
        { { "--", "one.ics", "two.ics" }, nullptr },
        { { "" }, nullptr },
        { { "https://example.com/feed.ics" }, nullptr },
        { { "file://otherhost/tmp/x.ics" }, nullptr },
        { { "file:///tmp/bad%2" }, nullptr },
        { { "file:///tmp/nul%00.ics" }, nullptr },
        { { "-starts-with-dash.ics" }, nullptr },
    };
    for (const Case& c : cases) {
        std::string words;
        for (const char* word : c.args)
            words += std::string("[") + word + "] ";
        SCOPED_TRACE(words);
        if (c.file)
            EXPECT_EQ(parse(c.args).open_file, wrenfold::utf8_path(c.file));
        else
            EXPECT_THROW(parse(c.args), std::invalid_argument);
    }
    EXPECT_TRUE(parse({ "--browser" }).open_file.empty());
}
