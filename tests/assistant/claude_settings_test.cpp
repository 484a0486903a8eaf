#include "assistant_fixture.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

TEST(ClaudeSettings, SettersNormaliseAndSaveOnlyChanges)
{
    AssistantFolders folders;
    auto app = folders.make_assistant_app();
    AppBridge bridge(*app);

    EXPECT_EQ(call(bridge, "set_claude_model", Json::array({ "  my-model " })),
              Json::parse(R"({"ok": true, "model": "my-model", "is_custom": true})"));
    EXPECT_EQ(call(bridge, "set_claude_model", Json::array({ "   " })),
              Json::parse(R"({"ok": true, "model": "claude-opus-4-8", "is_custom": false})"));
    EXPECT_EQ(call(bridge, "set_claude_provider", Json::array({ "DeepSeek" }))["provider"], "claude");
    EXPECT_EQ(call(bridge, "set_claude_effort", Json::array({ 3 }))["effort"], "xhigh");
    EXPECT_EQ(call(bridge, "set_claude_effort", Json::array({ "max" }))["effort"], "max");
    EXPECT_EQ(call(bridge, "set_claude_deepseek_model", Json::array({ " deepseek-chat " }))["model"], "deepseek-chat");
    auto stored = Json::parse(folders.settings_file_text());
    EXPECT_EQ(stored["claude_model"], "claude-opus-4-8");
    EXPECT_EQ(stored["claude_effort"], "max");
    EXPECT_EQ(stored["claude_deepseek_model"], "deepseek-chat");
    EXPECT_FALSE(stored.contains("claude_provider"));  // "claude" was already in force

    fs::remove(folders.data() / "settings.json");
    call(bridge, "set_claude_effort", Json::array({ "max" }));
    EXPECT_FALSE(fs::exists(folders.data() / "settings.json"));

    Json models = call(bridge, "claude_get_models");
    EXPECT_EQ(models["builtin"].size(), 8u);
    EXPECT_EQ(models["builtin"][5],
              Json::parse(R"({"id": "opus", "family": "opus", "version": "latest", "kind": "alias"})"));
    EXPECT_EQ(models["effort_levels"], Json::parse(R"(["low", "medium", "high", "xhigh", "max"])"));
    EXPECT_EQ(models["custom_settings_path"], (folders.data() / "deepseek-settings.json").string());
    EXPECT_EQ(bridge.call("set_claude_model", Json::array()).status, BridgeReply::Status::Failed);

    EXPECT_EQ(call(bridge, "set_claude_api_key", Json::array({ " sk-ant " })), Json::parse(R"({"ok": true})"));
    EXPECT_TRUE(call(bridge, "claude_ai_state")["has_backend"] == false);  // not installed: sign-in not read
    EXPECT_EQ(Json::parse(read_text(folders.home() / ".claude/settings.json")),
              Json::parse(R"({"primaryApiKey": "sk-ant"})"));
    fs::remove_all(folders.home() / ".claude");
    write_text(folders.home() / ".claude", "blocks the folder");
    EXPECT_EQ(call(bridge, "set_claude_api_key", Json::array({ "k" }))["ok"], false);
}
