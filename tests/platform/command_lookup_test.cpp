#include "platform/command_lookup.h"
#include "support/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace wrenfold::platform;
using wrenfold::testing::TempDir;

namespace {

// Along the path d:a::b:c, where d holds a folder named claude, a holds a
// claude that may not be run, and b and c hold runnable ones.
class CommandLookup : public ::testing::Test {
protected:
    void SetUp() override
    {
        wrenfold::testing::write_text_with_mode((dir / "a/claude").string(), "not executable",
                                                std::filesystem::perms(0644));
        wrenfold::testing::write_text_with_mode((dir / "b/claude").string(), "#!/bin/sh\n",
                                                std::filesystem::perms(0755));
        wrenfold::testing::write_text_with_mode((dir / "c/claude").string(), "#!/bin/sh\n",
                                                std::filesystem::perms(0755));
        std::filesystem::create_directories((dir / "d/claude").string());  // a folder is no command
    }

    TempDir dir;
};

}  // namespace

TEST_F(CommandLookup, TakesTheFirstExecutableRegularFileAlongThePath)
{
    auto path =
        (dir / "d").string() + ":" + (dir / "a").string() + "::" + (dir / "b").string() + ":" + (dir / "c").string();
    EXPECT_EQ(find_on_search_path("claude", path), (dir / "b/claude").string());
}

TEST_F(CommandLookup, AFileThatMayNotBeRunIsNotFound)
{
    EXPECT_FALSE(find_on_search_path("claude", (dir / "a").string()));
}

TEST_F(CommandLookup, ANameWithASlashIsNotLookedUpAlongThePath)
{
    EXPECT_FALSE(find_on_search_path("b/claude", dir.path().string()));
}

TEST_F(CommandLookup, AnEmptyPathFindsNothing)
{
    EXPECT_FALSE(find_on_search_path("claude", ""));
}
