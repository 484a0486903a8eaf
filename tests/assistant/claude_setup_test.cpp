#include "assistant_fixture.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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
