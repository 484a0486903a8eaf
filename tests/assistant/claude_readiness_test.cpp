#include "assistant_fixture.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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
