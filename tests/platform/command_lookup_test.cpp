#include "platform/command_lookup.h"
#include "support/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace wrenfold::platform;
using wrenfold::testing::TempDir;

TEST(CommandLookup, TakesTheFirstExecutableRegularFileAlongThePath)
{
    TempDir dir;
    wrenfold::testing::write_text_with_mode((dir / "a/claude").string(), "not executable",
                                            std::filesystem::perms(0644));
    wrenfold::testing::write_text_with_mode((dir / "b/claude").string(), "#!/bin/sh\n", std::filesystem::perms(0755));
    wrenfold::testing::write_text_with_mode((dir / "c/claude").string(), "#!/bin/sh\n", std::filesystem::perms(0755));
    std::filesystem::create_directories((dir / "d/claude").string());  // a folder is no command

    auto path =
        (dir / "d").string() + ":" + (dir / "a").string() + "::" + (dir / "b").string() + ":" + (dir / "c").string();
    EXPECT_EQ(find_on_search_path("claude", path), (dir / "b/claude").string());
    EXPECT_FALSE(find_on_search_path("claude", (dir / "a").string()));
    EXPECT_FALSE(find_on_search_path("b/claude", dir.path().string()));
    EXPECT_FALSE(find_on_search_path("claude", ""));
}
