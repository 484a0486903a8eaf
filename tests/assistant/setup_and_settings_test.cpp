#include "assistant_fixture.h"

#include "support/bridge_calls.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;
using wrenfold::AppBridge;
using wrenfold::BridgeReply;
using wrenfold::Json;
using wrenfold::testing::AssistantFolders;
using wrenfold::testing::call;
using wrenfold::testing::read_text;
using wrenfold::testing::write_text;
using wrenfold::testing::write_text_with_mode;

namespace {

void write_version_script(const fs::path& path, const std::string& body)
{
    write_text_with_mode(path, "#!/bin/sh\n" + body + "\n", fs::perms(0755));
}

}  // namespace

TEST(ClaudeReadiness, StateFollowsInstallationSignInAndDeepSeekSettings)
{
    AssistantFolders folders;
    auto app = folders.make_assistant_app();
    AppBridge bridge(*app);

    EXPECT_EQ(call(bridge, "claude_ai_state"), Json::parse(R"({"installed": false, "logged_in": false,
        "has_deepseek_settings": false, "has_backend": false, "ready": false, "session_dismissed": false})"));
    write_text(folders.home() / ".claude/.credentials.json", "{}");
    write_text(folders.data() / "deepseek-settings.json", "{}");
    call(bridge, "dismiss_ai_setup");
    EXPECT_EQ(call(bridge, "claude_ai_state"), Json::parse(R"({"installed": false, "logged_in": false,
        "has_deepseek_settings": true, "has_backend": true, "ready": false, "session_dismissed": true})"));

    // Found through the fallback in the home folder, then kept even after the file goes.
    write_version_script(folders.home() / ".local/bin/claude", "echo 2.0.1");
    call(bridge, "reset_ai_setup");
    EXPECT_EQ(call(bridge, "claude_ai_state"), Json::parse(R"({"installed": true, "logged_in": true,
        "has_deepseek_settings": true, "has_backend": true, "ready": true, "session_dismissed": false})"));
    fs::remove(folders.home() / ".local/bin/claude");
    EXPECT_EQ(app->_resolve_claude_exe(), (folders.home() / ".local/bin/claude").string());
}

TEST(ClaudeReadiness, StatusRunsTheVersionCheck)
{
    AssistantFolders folders;
    auto app = folders.make_assistant_app();
    AppBridge bridge(*app);
    EXPECT_EQ(call(bridge, "claude_status")["hint"],
              "Cannot find claude executable. Please install Claude Code first: https://www.anthropic.com/claude-code");

    auto exe = (folders.bin() / "claude").string();
    write_version_script(exe, "printf '  2.1.0 (Claude Code)\\nmore\\n'");
    Json normal = call(bridge, "claude_status");
    EXPECT_EQ(normal,
              (Json { { "installed", true },
                      { "logged_in", false },
                      { "provider", "claude" },
                      { "has_deepseek_settings", false },
                      { "version", "2.1.0 (Claude Code)" },
                      { "model", "claude-opus-4-8" },
                      { "exe", exe },
                      { "hint",
                        "Not signed in to Claude Code. Please run `claude` in a terminal and follow the "
                        "browser flow to sign in." } }));

    write_version_script(exe, "echo broken >&2; exit 1");
    app->set_claude_provider("deepseek");
    write_text(folders.data() / "deepseek-settings.json", "{}");
    Json failed_exit = call(bridge, "claude_status");
    EXPECT_EQ(failed_exit["installed"], true);
    EXPECT_EQ(failed_exit["version"], nullptr);
    EXPECT_EQ(failed_exit["hint"], "");

    write_version_script(exe, "echo '   '");
    Json blank = call(bridge, "claude_status");
    EXPECT_EQ(blank["installed"], false);
    EXPECT_EQ(blank["exe"], exe);
    EXPECT_EQ(blank["hint"].get<std::string>().rfind("Failed to run claude --version: ", 0), 0u);
}

TEST(ClaudeReadiness, FindExecutableLooksAlongThePathThenInProbeFolders)
{
    AssistantFolders folders;
    folders.env->set("LOCALAPPDATA", (folders.root / "local").string());
    write_version_script(folders.bin() / "adb", "");
    write_text(folders.root / "local/Android/Sdk/platform-tools/fastboot.exe", "");
    write_text(folders.root / "local/Android/Sdk/platform-tools/run.BAT", "");
    auto app = folders.make_assistant_app();
    AppBridge bridge(*app);

    EXPECT_EQ(call(bridge, "claude_find_executable", Json::array({ "  adb " })),
              (Json { { "ok", true },
                      { "found", true },
                      { "path", (folders.bin() / "adb").string() },
                      { "on_path", true },
                      { "name", "adb" } }));
    EXPECT_EQ(call(bridge, "claude_find_executable", Json::array({ "fastboot" }))["path"],
              (folders.root / "local/Android/Sdk/platform-tools/fastboot.exe").string());
    EXPECT_EQ(call(bridge, "claude_find_executable", Json::array({ "run.BAT" }))["on_path"], false);
    EXPECT_EQ(call(bridge, "claude_find_executable", Json::array({ "nothing" })),
              Json::parse(R"({"ok": true, "found": false, "path": "", "on_path": false, "name": "nothing"})"));
    EXPECT_EQ(call(bridge, "claude_find_executable", Json::array({ "a/b" })),
              Json::parse(R"({"ok": false, "error": "Invalid executable name: a/b"})"));
    EXPECT_EQ(call(bridge, "claude_find_executable")["error"], "Invalid executable name: ");
}

TEST(ClaudeSetup, InstallationMakesTheProgramReachableAtOnce)
{
    AssistantFolders folders;
    auto local_bin = folders.home() / ".local/bin";
    folders.env->set("PATH", "/usr/bin::/bin");
    folders.installer = { "/bin/sh", "-c",
                          "mkdir -p \"$HOME/.local/bin\" && printf '#!/bin/sh\\n' > "
                          "\"$HOME/.local/bin/claude\" && chmod +x \"$HOME/.local/bin/claude\"" };
    auto app = folders.make_assistant_app();
    AppBridge bridge(*app);
    EXPECT_EQ(call(bridge, "start_claude_login"), Json::parse(R"({"ok": false, "error": "claude_not_installed"})"));
    EXPECT_TRUE(folders.terminal->opened.empty());

    EXPECT_EQ(call(bridge, "install_claude_code"), Json::parse(R"({"ok": true})"));
    EXPECT_EQ(folders.env->get_or_empty("PATH"), "/usr/bin:/bin:" + local_bin.string());
    EXPECT_EQ(folders.user_path->value(), local_bin.string());
    EXPECT_EQ(folders.user_path->broadcasts(), 1);
    EXPECT_EQ(app->_resolve_claude_exe(), (local_bin / "claude").string());

    EXPECT_EQ(call(bridge, "start_claude_login"), Json::parse(R"({"ok": true})"));
    EXPECT_EQ(folders.terminal->opened, (std::vector<std::vector<std::string>> { { "claude", "login" } }));
    folders.terminal->fail = true;
    EXPECT_EQ(call(bridge, "start_claude_login"),
              Json::parse(R"({"ok": false, "error": "no terminal emulator found"})"));

    // Already in the user PATH (with a trailing separator): no write, no announcement.
    EXPECT_EQ(call(bridge, "install_claude_code"), Json::parse(R"({"ok": true})"));
    EXPECT_EQ(folders.user_path->writes(), 1);
    EXPECT_EQ(folders.user_path->broadcasts(), 1);
}

TEST(ClaudeSetup, AFailedInstallationReportsNothingButFalse)
{
    AssistantFolders folders;
    folders.installer = { "/bin/sh", "-c", "echo 'no network' >&2; exit 3" };
    EXPECT_EQ(call(*std::make_unique<AppBridge>(*folders.make_assistant_app()), "install_claude_code"),
              Json::parse(R"({"ok": false})"));
    folders.installer = { "/nonexistent/installer" };
    EXPECT_EQ(call(*std::make_unique<AppBridge>(*folders.make_assistant_app()), "install_claude_code"),
              Json::parse(R"({"ok": false})"));
    folders.installer = { "/bin/true" };  // succeeds, yet no claude anywhere
    EXPECT_EQ(call(*std::make_unique<AppBridge>(*folders.make_assistant_app()), "install_claude_code"),
              Json::parse(R"({"ok": false})"));
}

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
