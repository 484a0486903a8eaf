#include "assistant_fixture.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

TEST(DeepSeekProvider, CredentialsAndModelsThroughTheBridge)
{
    AssistantFolders folders;
    auto app = folders.make_assistant_app();
    AppBridge bridge(*app);
    auto path = (folders.data() / "deepseek-settings.json").string();

    EXPECT_EQ(call(bridge, "claude_get_deepseek_models")["error"], "settings file not found");
    EXPECT_EQ(call(bridge, "set_claude_deepseek_credentials", Json::array({ " sk-d " })),
              (Json { { "ok", true }, { "path", path }, { "api_key", "sk-d" } }));
    EXPECT_EQ(call(bridge, "claude_get_deepseek_credentials"),
              (Json { { "api_key", "sk-d" },
                      { "base_url", "https://api.deepseek.com/anthropic" },
                      { "model", "deepseek-chat" },
                      { "path", path },
                      { "exists", true } }));
    struct stat info { };
    ::stat(path.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    call(bridge, "set_claude_deepseek_credentials", Json::array({ "sk-d", "http://127.0.0.1:9/anthropic", nullptr }));
    Json models = call(bridge, "claude_get_deepseek_models");
    EXPECT_EQ(models, Json::parse(R"({"ok": true, "models": ["deepseek-v4"], "current": "", "source": "api"})"));
    EXPECT_EQ(folders.http->urls.back(), "http://127.0.0.1:9/models");
    EXPECT_EQ(call(bridge, "claude_get_models")["has_custom_settings"], true);
}

TEST(DeepSeekProvider, ASettingsFileThatCannotBeReadIsKeptBesideTheRewrittenOne)
{
    AssistantFolders folders;
    auto app = folders.make_assistant_app();
    AppBridge bridge(*app);
    auto path = folders.data() / "deepseek-settings.json";
    const std::string hand_edited = R"({"env": {"ANTHROPIC_AUTH_TOKEN": "sk-old"}, "permissions": {},})";
    write_text(path, hand_edited);
    EXPECT_EQ(call(bridge, "set_claude_deepseek_credentials", Json::array({ "sk-new" }))["ok"], true);
    EXPECT_EQ(read_text(path.string() + ".unreadable"), hand_edited);
}
