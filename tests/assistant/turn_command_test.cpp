#include "assistant/turn_command.h"

#include <gtest/gtest.h>

using namespace wrenfold::assistant;

TEST(TurnCommand, ArgumentsForEachProviderAndSessionState)
{
    TurnCommand turn { "/bin/claude", "claude", "",      "ds-model", "xhigh", "/d/deepseek-settings.json",
                       "/arch",       "PROMPT", "/arch", "",         "" };
    EXPECT_EQ(turn_arguments(turn),
              (std::vector<std::string> { "/bin/claude", "-p", "--model", "", "--append-system-prompt", "PROMPT",
                                          "--add-dir", "/arch", "--effort", "xhigh", "--permission-mode",
                                          "bypassPermissions", "--output-format", "json" }));

    turn.provider = "deepseek";
    turn.deepseek_model = "";
    turn.runtime_prompt_dir = "/data";
    turn.session_id = "s-1";
    EXPECT_EQ(turn_arguments(turn),
              (std::vector<std::string> { "/bin/claude", "-p", "--settings", "/d/deepseek-settings.json",
                                          "--append-system-prompt", "PROMPT", "--add-dir", "/arch", "--add-dir",
                                          "/data", "--permission-mode", "bypassPermissions", "--output-format", "json",
                                          "--resume", "s-1" }));
    turn.deepseek_model = "deepseek-reasoner";
    auto args = turn_arguments(turn);
    EXPECT_EQ(args[4], "--model");
    EXPECT_EQ(args[5], "deepseek-reasoner");
}

TEST(TurnCommand, ADeepSeekTurnCarriesNoAnthropicCredentialFromTheEnvironment)
{
    // A key exported in the user's shell would otherwise go out to DeepSeek's
    // endpoint beside the DeepSeek token.
    std::vector<std::string> inherited { "PATH=/bin", "ANTHROPIC_API_KEY=sk-ant-shell", "HOME=/h",
                                         "CLAUDE_CODE_OAUTH_TOKEN=oauth-shell" };
    TurnCommand turn;
    turn.provider = "deepseek";
    turn.anthropic_api_key = "sk-ant-stored";
    EXPECT_EQ(turn_environment(inherited, turn), (std::vector<std::string> { "PATH=/bin", "HOME=/h" }));

    turn.provider = "claude";
    EXPECT_EQ(turn_environment(inherited, turn),
              (std::vector<std::string> { "PATH=/bin", "HOME=/h", "CLAUDE_CODE_OAUTH_TOKEN=oauth-shell",
                                          "ANTHROPIC_API_KEY=sk-ant-stored" }));
    turn.anthropic_api_key = "";
    EXPECT_EQ(turn_environment(inherited, turn), inherited);
}
