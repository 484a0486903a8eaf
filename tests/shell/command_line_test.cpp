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
