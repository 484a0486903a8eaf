#include "assistant/claude_code_files.h"
#include "assistant/private_json_file.h"
#include "support/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace wrenfold;
using namespace wrenfold::assistant;
using wrenfold::testing::TempDir;

namespace {

int mode_of(const std::string& path)
{
    struct stat info { };
    ::stat(path.c_str(), &info);
    return static_cast<int>(info.st_mode & 0777);
}

}  // namespace

TEST(ClaudeCodeFiles, SignInIsReadFromClaudeCodesOwnFiles)
{
    TempDir home;
    EXPECT_FALSE(claude_signed_in(home.path().string()));
    wrenfold::testing::write_text((home / ".claude/settings.json").string(),
                                  R"({"oauthAccount": {}, "primaryApiKey": ""})");
    EXPECT_FALSE(claude_signed_in(home.path().string()));
    wrenfold::testing::write_text((home / ".claude/settings.json").string(), R"([{"oauthAccount": {"a": 1}}])");
    EXPECT_FALSE(claude_signed_in(home.path().string()));
    wrenfold::testing::write_text((home / ".claude/settings.json").string(),
                                  R"({"oauthAccount": {"emailAddress": "a@b"}})");
    EXPECT_TRUE(claude_signed_in(home.path().string()));
    wrenfold::testing::write_text((home / ".claude/settings.json").string(), "{not json");
    EXPECT_FALSE(claude_signed_in(home.path().string()));
    wrenfold::testing::write_text((home / ".claude/.credentials.json").string(), "");
    EXPECT_TRUE(claude_signed_in(home.path().string()));
}

TEST(ClaudeCodeFiles, ApiKeyIsStoredPrivatelyBesideTheOtherKeys)
{
    TempDir home;
    store_claude_api_key(home.path().string(), "  sk-ant-1  ");
    EXPECT_EQ(wrenfold::testing::read_text((home / ".claude/settings.json").string()),
              "{\n  \"primaryApiKey\": \"sk-ant-1\"\n}");
    EXPECT_EQ(mode_of((home / ".claude/settings.json").string()), 0600);
    EXPECT_EQ(mode_of((home / ".claude").string()), 0700);
    EXPECT_TRUE(claude_signed_in(home.path().string()));

    wrenfold::testing::write_text((home / ".claude/settings.json").string(),
                                  R"({"theme": "dark", "primaryApiKey": "old", "x": "天"})");
    store_claude_api_key(home.path().string(), " ");
    EXPECT_EQ(read_json_file((home / ".claude/settings.json").string()), (Json { { "theme", "dark" }, { "x", "天" } }));
    EXPECT_EQ(std::filesystem::directory_iterator((home / ".claude").string())->path().filename(), "settings.json");

    TempDir locked;
    ::chmod(locked.path().string().c_str(), 0500);
    if (::geteuid() != 0) {  // root writes anywhere
        EXPECT_THROW(store_claude_api_key(locked.path().string(), "k"), std::system_error);
    }
}

TEST(ClaudeCodeFiles, ASettingsFileThatCannotBeReadIsKeptBesideTheRewrittenOne)
{
    // A stray comma from a hand edit: the rewrite starts afresh, but the
    // user's own settings behind it are not thrown away.
    TempDir home;
    auto path = (home / ".claude/settings.json").string();
    const std::string hand_edited = R"j({"permissions": {"allow": ["Bash(ls)"]},})j";
    wrenfold::testing::write_text(path, hand_edited);
    store_claude_api_key(home.path().string(), "sk-ant-2");
    EXPECT_EQ(read_json_file(path), (Json { { "primaryApiKey", "sk-ant-2" } }));
    EXPECT_EQ(wrenfold::testing::read_text(path + ".unreadable"), hand_edited);
    EXPECT_EQ(mode_of(path + ".unreadable"), 0600);

    // A readable file leaves nothing beside it.
    std::filesystem::remove(path + ".unreadable");
    store_claude_api_key(home.path().string(), "sk-ant-3");
    EXPECT_FALSE(std::filesystem::exists(path + ".unreadable"));
}
