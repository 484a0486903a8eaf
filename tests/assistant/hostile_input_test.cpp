// The assistant under hostile and unusual input: keys holding line breaks,
// settings files behind links, huge time limits, overlapping turns and
// installers that fail half-way.
#include "assistant/assistant_platform.h"
#include "assistant/turn_command.h"
#include "assistant_fixture.h"

#include <gtest/gtest.h>

#include <unistd.h>

using wrenfold::testing::claude_answer;

namespace {

constexpr const char* injected = "sk-a\r\nX-Injected: yes\r\nHost: evil.example";

const std::string kKeyRefusal =
    "The API key, base URL and model name must not contain line breaks or other control characters.";

// An assistant with its private home folder, reached through the bridge.
class AssistantKeys : public ::testing::Test {
protected:
    fs::path deepseek_file() const { return folders.data() / "deepseek-settings.json"; }

    AssistantFolders folders;
    std::unique_ptr<wrenfold::WrenfoldApp> app = folders.make_assistant_app();
    AppBridge bridge { *app };
};

}  // namespace

TEST_F(AssistantKeys, DeepSeekSettingsWithControlCharactersAreRefusedAndNotStored)
{
    EXPECT_EQ(call(bridge, "set_claude_deepseek_credentials", { injected })["error"], kKeyRefusal);
    EXPECT_EQ(call(bridge, "set_claude_deepseek_credentials", { "sk-ok", "https://h/\nx" })["error"], kKeyRefusal);
    EXPECT_EQ(call(bridge, "set_claude_deepseek_credentials", { "sk-ok", nullptr, "m\x01" })["error"], kKeyRefusal);
    EXPECT_FALSE(fs::exists(deepseek_file()));
}

TEST_F(AssistantKeys, AKeyPastedWithALineBreakAfterItIsOnlyTrimmed)
{
    EXPECT_EQ(call(bridge, "set_claude_deepseek_credentials", { "\u3000sk-ok\r\n" })["api_key"], "sk-ok");
}

TEST_F(AssistantKeys, AnAnthropicKeyWithControlCharactersIsRefusedAndNotStored)
{
    EXPECT_EQ(call(bridge, "set_claude_api_key", { injected })["error"], kKeyRefusal);
    EXPECT_FALSE(fs::exists(folders.home() / ".claude/settings.json"));
}

TEST_F(AssistantKeys, AKeyWithControlCharactersEditedIntoTheFileIsNeverSent)
{
    call(bridge, "set_claude_deepseek_credentials", { "sk-ok" });
    // A file edited by hand may hold what the dialog refuses: nothing is requested with it.
    Json edited = Json::parse(read_text(deepseek_file()));
    edited["env"]["ANTHROPIC_AUTH_TOKEN"] = injected;
    write_text(deepseek_file(), edited.dump());
    Json models = call(bridge, "claude_get_deepseek_models");
    EXPECT_EQ(models["source"], "fallback");
    EXPECT_TRUE(folders.http->urls.empty());
}

namespace {

// An assistant whose stand-in claude answers every turn with "hi".
class AssistantTurnKeys : public ::testing::Test {
protected:
    void SetUp() override
    {
        folders.install_fake_claude(Json::array({ claude_answer("s", "hi") }));
        app = folders.make_assistant_app();
        bridge = std::make_unique<AppBridge>(*app);
    }

    AssistantFolders folders;
    std::unique_ptr<wrenfold::WrenfoldApp> app;
    std::unique_ptr<AppBridge> bridge;
};

}  // namespace

TEST_F(AssistantTurnKeys, WithoutAStoredKeyATurnGetsNone)
{
    EXPECT_EQ(call(*bridge, "claude_send", { "one" })["reply"], "hi");
    EXPECT_TRUE(folders.calls()[0]["api_key"].is_null());
}

TEST_F(AssistantTurnKeys, AnAnthropicTurnGetsTheStoredKeyThroughItsEnvironmentOnly)
{
    ASSERT_EQ(call(*bridge, "set_claude_api_key", { "\u00a0sk-ant-secret " })["ok"], true);
    EXPECT_TRUE(call(*bridge, "claude_ai_state")["logged_in"]);
    EXPECT_EQ(call(*bridge, "claude_send", { "two" })["reply"], "hi");
    Json turn = folders.calls()[0];
    EXPECT_EQ(turn["api_key"], "sk-ant-secret");
    EXPECT_EQ(turn["argv"].dump().find("sk-ant-secret"), std::string::npos);
}

TEST_F(AssistantTurnKeys, ADeepSeekTurnDoesNotGetTheStoredOrInheritedAnthropicKey)
{
    call(*bridge, "set_claude_api_key", { "sk-ant-secret" });
    folders.env->set("ANTHROPIC_API_KEY", "sk-ant-from-the-shell");
    // DeepSeek turns take their key from their own settings file.
    call(*bridge, "set_claude_deepseek_credentials", { "sk-deepseek" });
    call(*bridge, "set_claude_provider", { "deepseek" });
    EXPECT_EQ(call(*bridge, "claude_send", { "three" })["reply"], "hi");
    EXPECT_TRUE(folders.calls()[0]["api_key"].is_null());
}

TEST(AssistantHostileInput, HugeTimeLimitsStillWaitForTheAnswer)
{
    AssistantFolders folders;
    folders.install_fake_claude(Json::array({ claude_answer("s", "done") }));
    auto app = folders.make_assistant_app();
    AppBridge bridge(*app);
    for (double seconds : { 1e16, 1e300, 2.2e6 }) {
        Json result = call(bridge, "claude_send", { "hello", nullptr, nullptr, seconds });
        EXPECT_EQ(result["reply"], "done") << seconds << ": " << result.dump();
    }
}

TEST(ClampedTurnTimeLimit, KeepsTheLimitBetweenOneSecondAndOneDay)
{
    const std::pair<double, std::chrono::seconds> cases[] = {
        { 1e16, std::chrono::hours(24) },
        { 0.001, std::chrono::seconds(1) },
        { 180, std::chrono::seconds(180) },
    };
    for (const auto& [seconds, limit] : cases) {
        SCOPED_TRACE(seconds);
        EXPECT_EQ(wrenfold::assistant::clamped_turn_time_limit(seconds), limit);
    }
}

TEST(AssistantHostileInput, ADeeplyNestedAnswerIsAFailureNotACrash)
{
    AssistantFolders folders;
    std::string deep = std::string(60000, '[') + std::string(60000, ']');
    folders.install_fake_claude(
        Json::array({ Json { { "stdout", deep }, { "exit", 1 } }, Json { { "stdout", deep } } }));
    auto app = folders.make_assistant_app();
    AppBridge bridge(*app);
    EXPECT_EQ(call(bridge, "claude_send", { "x" })["ok"], false);
    EXPECT_EQ(call(bridge, "claude_send", { "x" })["ok"], true);
}

TEST(AssistantHostileInput, TheApiKeyIsWrittenThroughALinkedSettingsFile)
{
    AssistantFolders folders;
    auto dotfiles = folders.root / "dotfiles";
    write_text(dotfiles / "claude-settings.json", R"({"theme": "dark"})");
    fs::create_directories(folders.home() / ".claude");
    fs::create_symlink("../../dotfiles/claude-settings.json", folders.home() / ".claude/settings.json");
    auto app = folders.make_assistant_app();
    AppBridge bridge(*app);

    ASSERT_EQ(call(bridge, "set_claude_api_key", { "sk-ant-1" })["ok"], true);
    EXPECT_TRUE(fs::is_symlink(folders.home() / ".claude/settings.json"));
    Json stored = Json::parse(read_text(dotfiles / "claude-settings.json"));
    EXPECT_EQ(stored, Json::parse(R"({"theme": "dark", "primaryApiKey": "sk-ant-1"})"));
    for (const auto& entry : fs::directory_iterator(dotfiles))
        EXPECT_EQ(entry.path().extension(), ".json") << entry.path();
}

TEST(AssistantHostileInput, TheRuntimePromptIsReplacedNotRewrittenInPlace)
{
    AssistantFolders folders;
    write_text(folders.arch() / "claude規範提示詞.md", "RULES v1");
    folders.install_fake_claude(Json::array({ claude_answer("s", "ok") }));
    auto app = folders.make_assistant_app();
    AppBridge bridge(*app);
    call(bridge, "claude_send", { "first" });

    // A turn still reading the file holds it open; here a second name for it
    // stands for that reader. The next turn must not change what it reads.
    auto runtime_file = folders.arch() / "_runtime_system_prompt.md";
    auto reader = folders.root / "reader.md";
    fs::create_hard_link(runtime_file, reader);
    std::string before = read_text(reader);
    write_text(folders.arch() / "claude規範提示詞.md", "RULES v2, longer than before");
    call(bridge, "claude_send", { "second" });
    EXPECT_EQ(read_text(reader), before);
    EXPECT_NE(read_text(runtime_file).find("RULES v2"), std::string::npos);
}

TEST(AssistantHostileInput, AFailedInstallerDownloadIsAFailedInstallation)
{
    AssistantFolders folders;
    // An older claude lies around, and the download fails.
    folders.install_fake_claude(Json::array({ claude_answer("s", "ok") }));
    wrenfold::testing::write_text_with_mode(folders.bin() / "curl", "#!/bin/sh\necho 'curl: (6) no host' >&2\nexit 6\n",
                                            fs::perms(0755));
    folders.installer = wrenfold::assistant::AssistantPlatform::for_this_process().installer_command;
    auto app = folders.make_assistant_app();
    AppBridge bridge(*app);
    ::testing::internal::CaptureStdout();
    Json result = call(bridge, "install_claude_code");
    std::string output = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(result, Json::parse(R"({"ok": false})"));
    EXPECT_TRUE(output.starts_with("[claude install] exit=6 stderr=curl: (6) no host")) << output;
}
