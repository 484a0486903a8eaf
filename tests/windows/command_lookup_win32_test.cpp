#include "platform/command_lookup.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using wrenfold::platform::find_on_search_path;

namespace {

class SearchFolders : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("wrenfold-lookup-" + std::to_string(::GetCurrentProcessId()));
        fs::create_directories(root / "first");
        fs::create_directories(root / "second");
        fs::create_directories(root / "here");
        previous = fs::current_path();
        fs::current_path(root / "here");
    }
    void TearDown() override
    {
        fs::current_path(previous);
        fs::remove_all(root);
    }
    void touch(const fs::path& file) { std::ofstream(file) << "x"; }
    std::string path_list() const { return (root / "first").string() + ";;\"" + (root / "second").string() + "\""; }

    fs::path root;
    fs::path previous;
};

bool same_file(const std::optional<std::string>& found, const fs::path& expected)
{
    return found && fs::equivalent(*found, expected);
}

}  // namespace

TEST_F(SearchFolders, ExtensionsAreTriedInTheirOrderAndABareFileIsNeverTaken)
{
    // npm puts an extensionless shell script beside the .cmd it runs on Windows.
    touch(root / "first" / "tool");
    touch(root / "first" / "tool.CMD");
    touch(root / "first" / "tool.exe");
    EXPECT_TRUE(same_file(find_on_search_path("tool", path_list(), ".COM;.EXE;.CMD"), root / "first" / "tool.exe"));
    EXPECT_TRUE(same_file(find_on_search_path("tool", path_list(), ".CMD;.EXE"), root / "first" / "tool.CMD"));
    // A name that carries one of the extensions is taken as it is, in any case.
    EXPECT_TRUE(same_file(find_on_search_path("tool.cmd", path_list(), ".EXE;.CMD"), root / "first" / "tool.CMD"));
    EXPECT_FALSE(find_on_search_path("tool", path_list(), ".BAT"));
    EXPECT_FALSE(find_on_search_path("first\\tool.exe", root.string(), ".EXE"));
}

TEST_F(SearchFolders, TheCurrentFolderComesBeforeThePathInItsOrder)
{
    touch(root / "second" / "tool.exe");
    EXPECT_TRUE(same_file(find_on_search_path("tool", path_list(), ".EXE"), root / "second" / "tool.exe"));
    touch(root / "first" / "tool.exe");
    EXPECT_TRUE(same_file(find_on_search_path("tool", path_list(), ".EXE"), root / "first" / "tool.exe"));
    touch(root / "here" / "tool.exe");
    auto found = find_on_search_path("tool", path_list(), ".EXE");
    EXPECT_TRUE(same_file(found, root / "here" / "tool.exe"));
    EXPECT_TRUE(found && fs::path(*found).is_absolute());
}
