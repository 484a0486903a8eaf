#pragma once

#include <gtest/gtest.h>

#include <filesystem>

namespace wrenfold::testing {

// Whether only the user this process runs as may read or change the file:
// mode 0600 (no bits for group or others) on Linux; on Windows an access
// list that grants nobody but the user anything, whether set on the file or
// taken over from its folder.
bool is_private_to_user(const std::filesystem::path& file);

// Whether this Windows program runs under Wine.
bool running_under_wine();

// Checks a file that the program keeps private. Under Wine the check is left
// out, saying so: Wine makes a file's access list from its Unix mode and does
// not pass a folder's list on to the files made inside, so a file that
// Windows makes private by its folder reads as open to everyone there.
inline void expect_private_to_user(const std::filesystem::path& file)
{
    if (running_under_wine()) {
        std::cout << "not checked under Wine: whether " << file.filename().string() << " is private\n";
        return;
    }
    EXPECT_TRUE(is_private_to_user(file)) << file.string();
}

}  // namespace wrenfold::testing
