#include "assistant/turn_command.h"

#include <gtest/gtest.h>

using namespace wrenfold::assistant;

TEST(TurnCommand, ArgumentsForEachProviderAndSessionState)
{
    TurnCommand turn;
    turn.executable = "/bin/claude";
    turn.provider = "claude";
    turn.deepseek_model = "ds-model";
    turn.effort = "xhigh";
    turn.deepseek_settings_path = "/d/deepseek-settings.json";
    turn.architecture_dir = "/arch";
    turn.system_prompt = "PROMPT";
    turn.runtime_prompt_dir = "/arch";
    turn.readable_files = { "/arch/rules.md", "/arch/_runtime_system_prompt.md" };
    turn.data_dir = "/data";
    const std::vector<std::string> locked_down { "--permission-mode",
                                                 "dontAsk",
                                                 "--tools",
                                                 "Read,WebFetch",
                                                 "--allowedTools",
                                                 "Read(//arch/rules.md)",
                                                 "Read(//arch/_runtime_system_prompt.md)",
                                                 "WebFetch",
                                                 "--disallowedTools",
                                                 "Bash",
                                                 "Edit",
                                                 "Write",
                                                 "NotebookEdit",
                                                 "Read(//data/**)",
                                                 "--setting-sources",
                                                 "",
                                                 "--strict-mcp-config",
                                                 "--output-format",
                                                 "json" };
    std::vector<std::string> expected { "/bin/claude", "-p",        "--model", "",         "--append-system-prompt",
                                        "PROMPT",      "--add-dir", "/arch",   "--effort", "xhigh" };
    expected.insert(expected.end(), locked_down.begin(), locked_down.end());
    EXPECT_EQ(turn_arguments(turn), expected);

    turn.provider = "deepseek";
    turn.deepseek_model = "";
    turn.runtime_prompt_dir = "/private/prompt";
    turn.readable_files = { "/arch/rules.md", "/private/prompt/_runtime_system_prompt.md" };
    turn.session_id = "s-1";
    expected = { "/bin/claude",
                 "-p",
                 "--settings",
                 "/d/deepseek-settings.json",
                 "--append-system-prompt",
                 "PROMPT",
                 "--add-dir",
                 "/arch",
                 "--add-dir",
                 "/private/prompt" };
    expected.insert(expected.end(), locked_down.begin(), locked_down.end());
    expected[16] = "Read(//private/prompt/_runtime_system_prompt.md)";
    expected.insert(expected.end(), { "--resume", "s-1" });
    EXPECT_EQ(turn_arguments(turn), expected);
    turn.deepseek_model = "deepseek-reasoner";
    auto args = turn_arguments(turn);
    EXPECT_EQ(args[4], "--model");
    EXPECT_EQ(args[5], "deepseek-reasoner");
}

TEST(TurnCommand, TheChildSeesOnlyAllowedVariablesAndNoForeignProvidersKey)
{
    // A key exported in the user's shell would otherwise go out to DeepSeek's
    // endpoint beside the DeepSeek token; cloud keys, tokens and the agent
    // socket have no business in a chat turn at all.
    std::vector<std::string> inherited {
        "PATH=/bin",
        "HOME=/h",
        "LANG=zh_TW.UTF-8",
        "LC_TIME=C",
        "https_proxy=http://p:3128",
        "DISPLAY=:0",
        "TMPDIR=/tmp",
        "DISABLE_TELEMETRY=1",
        "ANTHROPIC_API_KEY=sk-ant-shell",
        "ANTHROPIC_BASE_URL=http://relay",
        "CLAUDE_CODE_OAUTH_TOKEN=oauth-shell",
        "AWS_SECRET_ACCESS_KEY=aws",
        "GITHUB_TOKEN=ghp",
        "SSH_AUTH_SOCK=/run/agent",
        "LD_PRELOAD=/x.so",
        "PATHOLOGICAL=1",
    };
    const std::vector<std::string> common {
        "PATH=/bin",  "HOME=/h",     "LANG=zh_TW.UTF-8",   "LC_TIME=C", "https_proxy=http://p:3128",
        "DISPLAY=:0", "TMPDIR=/tmp", "DISABLE_TELEMETRY=1"
    };
    TurnCommand turn;
    turn.provider = "deepseek";
    turn.anthropic_api_key = "sk-ant-stored";
    EXPECT_EQ(turn_environment(inherited, turn), common);

    turn.provider = "claude";
    auto with = [&](std::vector<std::string> extra) {
        auto all = common;
        all.insert(all.end(), extra.begin(), extra.end());
        return all;
    };
    EXPECT_EQ(turn_environment(inherited, turn),
              with({ "ANTHROPIC_BASE_URL=http://relay", "CLAUDE_CODE_OAUTH_TOKEN=oauth-shell",
                     "ANTHROPIC_API_KEY=sk-ant-stored" }));
    turn.anthropic_api_key = "";
    EXPECT_EQ(turn_environment(inherited, turn),
              with({ "ANTHROPIC_API_KEY=sk-ant-shell", "ANTHROPIC_BASE_URL=http://relay",
                     "CLAUDE_CODE_OAUTH_TOKEN=oauth-shell" }));
}
