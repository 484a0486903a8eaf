#include "assistant/path_merge.h"

#include <gtest/gtest.h>

using namespace wrenfold::assistant;

TEST(PathMerge, InstallFoldersJoinTheUserPathOnlyWhenMissing)
{
    auto exists = [](const std::string& folder) { return folder.find("missing") == std::string::npos; };
    std::vector<std::string> folders { "C:\\Users\\u\\.local\\bin", "C:\\missing\\claude" };

    auto fresh = add_install_folders("", folders, exists, kWindowsPaths);
    EXPECT_TRUE(fresh.changed);
    EXPECT_EQ(fresh.value, "C:\\Users\\u\\.local\\bin");

    auto same = add_install_folders("C:\\Windows;c:/users/U/.local/./bin\\", folders, exists, kWindowsPaths);
    EXPECT_FALSE(same.changed);

    auto referenced = add_install_folders("%USERPROFILE%\\.local\\bin", folders, exists, kWindowsPaths);
    EXPECT_EQ(referenced.value, "%USERPROFILE%\\.local\\bin;C:\\Users\\u\\.local\\bin");

    // Linux names are case-sensitive.
    auto posix = add_install_folders("/home/U/.local/bin", { "/home/u/.local/bin/" }, exists, kPosixPaths);
    EXPECT_EQ(posix.value, "/home/U/.local/bin:/home/u/.local/bin/");
}

TEST(PathMerge, ProcessPathKeepsItsOrderAndGainsWhatTheUserPathAdds)
{
    EXPECT_EQ(merge_user_path("/usr/bin::/bin:/usr/bin", "/bin/:/opt/claude:%HOME%/x:/opt/claude", kPosixPaths),
              "/usr/bin:/bin:/usr/bin:/opt/claude:%HOME%/x");
    EXPECT_EQ(merge_user_path("C:\\A;;C:\\B", "c:\\a\\;C:\\New", kWindowsPaths), "C:\\A;C:\\B;C:\\New");
    EXPECT_EQ(normalized_path_entry("/a//b/./c/../d/", kPosixPaths), "/a/b/d");
    EXPECT_EQ(normalized_path_entry("/../x", kPosixPaths), "/x");
    EXPECT_EQ(normalized_path_entry("a/../../x", kPosixPaths), "../x");
}
