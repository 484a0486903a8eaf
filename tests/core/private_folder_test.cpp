#include "core/private_folder.h"

#include "support/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <system_error>

namespace fs = std::filesystem;
using wrenfold::is_private_folder_of_ours;
using wrenfold::testing::TempDir;

TEST(PrivateFolder, OnlyFoldersMadePrivateCountAsPrivate)
{
    TempDir dir;
    fs::create_directory(dir / "plain");
    wrenfold::testing::write_text(dir / "file", "x");
    EXPECT_FALSE(is_private_folder_of_ours(dir / "plain"));
    EXPECT_FALSE(is_private_folder_of_ours(dir / "file"));
    EXPECT_FALSE(is_private_folder_of_ours(dir / "missing"));

    wrenfold::make_private_directories(dir / "data" / "kelvane" / "Wrenfold");
    EXPECT_TRUE(is_private_folder_of_ours(dir / "data" / "kelvane" / "Wrenfold"));
#ifndef _WIN32
    // A folder that was there already is closed too (Wine keeps a folder's
    // mode bits when its access list is replaced, so this runs on Linux only).
    wrenfold::make_private_directories(dir / "plain");
    EXPECT_TRUE(is_private_folder_of_ours(dir / "plain"));
#endif
}

TEST(PrivateFolder, NewFoldersAreNeverOnesThatExisted)
{
    TempDir dir;
    fs::path first = wrenfold::make_private_temp_folder(dir.path(), "turn-");
    fs::path second = wrenfold::make_private_temp_folder(dir.path(), "turn-");
    EXPECT_NE(first, second);
    EXPECT_TRUE(is_private_folder_of_ours(first));
    EXPECT_TRUE(is_private_folder_of_ours(second));
    EXPECT_THROW(wrenfold::make_private_folder(first), std::system_error);
    wrenfold::make_private_folder(first / "work");
    EXPECT_TRUE(is_private_folder_of_ours(first / "work"));
}
