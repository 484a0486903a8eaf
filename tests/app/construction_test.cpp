#include "app/settings_rules.h"
#include "core/private_folder.h"

#include "support/app_fixture.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using wrenfold::Json;
using wrenfold::testing::AppFolders;

TEST(Construction, FirstStartCreatesAPrivateDataDirectoryWithDefaults)
{
    AppFolders folders;
    auto app = folders.make_app();

    EXPECT_TRUE(wrenfold::is_private_folder_of_ours(folders.data()));
    EXPECT_EQ(app->settings_snapshot(), Json::parse(R"({"window_w": 1280, "window_h": 720, "language": "en"})"));
    EXPECT_TRUE(app->accounts_snapshot().empty());
    EXPECT_FALSE(fs::exists(folders.data() / "settings.json"));
    EXPECT_EQ(app->claude_model(), "claude-opus-4-8");
    EXPECT_EQ(app->claude_effort(), "xhigh");
    EXPECT_EQ(app->claude_provider(), "claude");
    EXPECT_EQ(app->claude_deepseek_model(), "");
    EXPECT_EQ(app->claude_arch_dir(), fs::absolute(folders.module()) / "architecture");
    EXPECT_EQ(app->claude_custom_settings_path(), folders.data() / "deepseek-settings.json");
    EXPECT_EQ(app->ACCOUNTS_FILE, folders.data() / "accounts.json");
}

TEST(Construction, UnsupportedLanguageIsCorrectedInMemoryOnly)
{
    AppFolders folders;
    folders.store_settings(R"({"language": "zh_TW", "view": "week"})");
    auto app = folders.make_app();
    EXPECT_EQ(app->setting("language"), "en");
    EXPECT_EQ(app->setting("view"), "week");
    EXPECT_EQ(folders.settings_file_text(), R"({"language": "zh_TW", "view": "week"})");
    app->_save_settings();
    EXPECT_EQ(Json::parse(folders.settings_file_text())["language"], "en");
}

TEST(Construction, StaleTemporaryStoresFromACrashAreRemoved)
{
    AppFolders folders;
    wrenfold::testing::write_text(folders.data() / "settings.json.0badc0de.tmp", "{\"half\":");
    auto app = folders.make_app();
    EXPECT_FALSE(fs::exists(folders.data() / "settings.json.0badc0de.tmp"));
}

TEST(Construction, DataDirectoryThatCannotBeCreatedFailsTheConstructor)
{
    AppFolders folders;
    wrenfold::testing::write_text(folders.root / "file", "");
    wrenfold::AppEnvironment environment { { folders.root / "file" / "data", folders.module() } };
    EXPECT_THROW(wrenfold::WrenfoldApp({}, {}, environment), fs::filesystem_error);
}

TEST(AssistantSettingsInForce, EachRuleFallsBackOnItsOwn)
{
    using namespace wrenfold;
    EXPECT_EQ(claude_model_in_force(Json::parse(R"({"claude_model": "  \t"})")), "claude-opus-4-8");
    EXPECT_EQ(claude_model_in_force(Json::parse(R"({"claude_model": " sonnet "})")), " sonnet ");
    EXPECT_EQ(claude_model_in_force(Json::parse(R"({"claude_model": 7})")), "claude-opus-4-8");

    EXPECT_EQ(claude_effort_in_force(Json::parse(R"({"claude_effort": "max"})")), "max");
    EXPECT_EQ(claude_effort_in_force(Json::parse(R"({"claude_effort": "MAX", "claude_effort_enabled": false})")),
              "high");
    EXPECT_EQ(claude_effort_in_force(Json::parse(R"({"claude_effort": "huge"})")), "xhigh");
    EXPECT_EQ(claude_effort_in_force(Json::parse(R"({"claude_effort_enabled": 0})")), "xhigh");
    EXPECT_EQ(claude_effort_in_force(Json::parse(R"({"claude_effort": "low", "claude_effort_enabled": false})")),
              "low");

    EXPECT_EQ(claude_provider_in_force(Json::parse(R"({"claude_provider": "DeepSeek"})")), "claude");
    EXPECT_EQ(claude_provider_in_force(Json::parse(R"({"claude_provider": "deepseek"})")), "deepseek");

    EXPECT_EQ(claude_deepseek_model_in_force(Json::parse(R"({"claude_deepseek_model": 5})")), "");
    EXPECT_EQ(claude_deepseek_model_in_force(Json::parse(R"({"claude_deepseek_model": "deepseek-reasoner"})")),
              "deepseek-reasoner");

    EXPECT_EQ(language_in_force(Json::parse(R"({"language": "zh-Hant"})")), "zh-Hant");
    EXPECT_EQ(language_in_force(Json::parse(R"({"language": "ZH-HANT"})")), "en");
    EXPECT_EQ(language_in_force(Json::object()), "en");
}

TEST(Construction, StoredAssistantSettingsAreDerivedButNotWrittenBack)
{
    AppFolders folders;
    const std::string stored = R"({"claude_model": " sonnet ", "claude_effort": "bogus",)"
                               R"( "claude_effort_enabled": false, "claude_provider": "deepseek"})";
    folders.store_settings(stored);
    auto app = folders.make_app();
    EXPECT_EQ(app->claude_model(), " sonnet ");
    EXPECT_EQ(app->claude_effort(), "high");
    EXPECT_EQ(app->claude_provider(), "deepseek");
    EXPECT_EQ(app->setting("claude_effort"), "bogus");
    EXPECT_EQ(folders.settings_file_text(), stored);
}
