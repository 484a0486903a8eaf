#include "assistant/exe_discovery.h"

#include <gtest/gtest.h>

using namespace wrenfold;
using namespace wrenfold::assistant;
using platform::MapEnvironment;

TEST(ExeDiscovery, FallbackLocationsFollowTheEnvironmentInOrder)
{
    MapEnvironment full {
        { "HOME", "/home/u" }, { "LOCALAPPDATA", "/l" }, { "APPDATA", "/a" }, { "ProgramFiles", "/pf" }
    };
    EXPECT_EQ(claude_fallback_locations(full),
              (std::vector<std::string> { "/home/u/.local/bin/claude", "/home/u/.local/bin/claude.exe",
                                          "/home/u/.local/bin/claude.cmd", "/l/Programs/claude/claude.exe",
                                          "/l/Programs/claude/claude.cmd", "/a/npm/claude.cmd", "/a/npm/claude.ps1",
                                          "/pf/nodejs/claude.cmd" }));
    MapEnvironment profile { { "USERPROFILE", "/p" }, { "HOME", "/home/u" }, { "LOCALAPPDATA", "" } };
    EXPECT_EQ(
        claude_fallback_locations(profile),
        (std::vector<std::string> { "/p/.local/bin/claude", "/p/.local/bin/claude.exe", "/p/.local/bin/claude.cmd" }));
    MapEnvironment relative { { "HOME", "home" }, { "APPDATA", "a" }, { "ProgramFiles", "" } };
    EXPECT_TRUE(claude_fallback_locations(relative).empty());
    EXPECT_EQ(absolute_search_path(":.:/usr/bin::bin:/opt/x/:"), "/usr/bin:/opt/x/");
}

TEST(ExeDiscovery, ToolNamesAndProbeFolders)
{
    EXPECT_TRUE(is_valid_tool_name("adb"));
    EXPECT_TRUE(is_valid_tool_name("g++-12.exe"));
    EXPECT_TRUE(is_valid_tool_name(std::string(64, 'a')));
    for (auto bad : { "", "-x", ".hidden", "a/b", "a b", "C:x", "a\\b", "天氣" })
        EXPECT_FALSE(is_valid_tool_name(bad)) << bad;
    EXPECT_FALSE(is_valid_tool_name(std::string(65, 'a')));

    EXPECT_EQ(tool_file_name("adb"), "adb.exe");
    EXPECT_EQ(tool_file_name("RUN.BAT"), "RUN.BAT");
    EXPECT_EQ(tool_file_name("x.Cmd"), "x.Cmd");

    MapEnvironment environment { { "LOCALAPPDATA", "/l" }, { "ProgramData", "/pd" } };
    EXPECT_EQ(tool_probe_candidates("adb.exe", environment),
              (std::vector<std::string> { "/l/Android/Sdk/platform-tools/adb.exe", "/pd/chocolatey/bin/adb.exe",
                                          "/l/Microsoft/WinGet/Links/adb.exe" }));
    EXPECT_EQ(expand_percent_variables("%X%%ProgramData%/y%", environment), "%X%/pd/y%");
}
