#include "assistant/api_error.h"
#include "assistant/exe_discovery.h"
#include "assistant/turn_answer.h"
#include "assistant/turn_command.h"
#include "core/translations.h"

#include <gtest/gtest.h>

using namespace wrenfold;
using namespace wrenfold::assistant;
using platform::MapEnvironment;
using Kind = TurnAnswer::Kind;

TEST(ExeDiscovery, FallbackLocationsFollowTheEnvironmentInOrder)
{
    MapEnvironment full {
        { "HOME", "/home/u" }, { "LOCALAPPDATA", "/l" }, { "APPDATA", "/a" }, { "ProgramFiles", "/pf" }
    };
    EXPECT_EQ(claude_fallback_locations(full),
              (std::vector<std::string> { "/home/u/.local/bin/claude", "/home/u/.local/bin/claude.exe",
                                          "/home/u/.local/bin/claude.cmd", "/l/Programs/claude/claude.exe",
                                          "/l/Programs/claude/claude.cmd", "/a/npm/claude.cmd", "/a/npm/claude.ps1",
                                          "/pf/nodejs/claude.cmd" }));
    MapEnvironment profile { { "USERPROFILE", "/p" }, { "HOME", "/home/u" }, { "LOCALAPPDATA", "" } };
    EXPECT_EQ(
        claude_fallback_locations(profile),
        (std::vector<std::string> { "/p/.local/bin/claude", "/p/.local/bin/claude.exe", "/p/.local/bin/claude.cmd" }));
    MapEnvironment relative { { "HOME", "home" }, { "APPDATA", "a" }, { "ProgramFiles", "" } };
    EXPECT_TRUE(claude_fallback_locations(relative).empty());
    EXPECT_EQ(absolute_search_path(":.:/usr/bin::bin:/opt/x/:"), "/usr/bin:/opt/x/");
}

TEST(ExeDiscovery, ToolNamesAndProbeFolders)
{
    EXPECT_TRUE(is_valid_tool_name("adb"));
    EXPECT_TRUE(is_valid_tool_name("g++-12.exe"));
    EXPECT_TRUE(is_valid_tool_name(std::string(64, 'a')));
    for (auto bad : { "", "-x", ".hidden", "a/b", "a b", "C:x", "a\\b", "天氣" })
        EXPECT_FALSE(is_valid_tool_name(bad)) << bad;
    EXPECT_FALSE(is_valid_tool_name(std::string(65, 'a')));

    EXPECT_EQ(tool_file_name("adb"), "adb.exe");
    EXPECT_EQ(tool_file_name("RUN.BAT"), "RUN.BAT");
    EXPECT_EQ(tool_file_name("x.Cmd"), "x.Cmd");

    MapEnvironment environment { { "LOCALAPPDATA", "/l" }, { "ProgramData", "/pd" } };
    EXPECT_EQ(tool_probe_candidates("adb.exe", environment),
              (std::vector<std::string> { "/l/Android/Sdk/platform-tools/adb.exe", "/pd/chocolatey/bin/adb.exe",
                                          "/l/Microsoft/WinGet/Links/adb.exe" }));
    EXPECT_EQ(expand_percent_variables("%X%%ProgramData%/y%", environment), "%X%/pd/y%");
}

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

TEST(TurnAnswer, ExitZeroAnswers)
{
    auto reply = interpret_turn_output(0, R"({"session_id":"s1","result":"  hi  ","text":"other"})", "", false);
    EXPECT_EQ(reply.kind, Kind::Reply);
    EXPECT_EQ(reply.text, "  hi  ");
    EXPECT_EQ(reply.session_id, "s1");

    EXPECT_EQ(interpret_turn_output(0, R"({"result":"","text":"fallback"})", "", false).text, "fallback");
    EXPECT_EQ(interpret_turn_output(0, "  plain answer\n", "", false).text, "plain answer");
    EXPECT_EQ(interpret_turn_output(0, R"("a json string")", "", false).text, "a json string");
    EXPECT_EQ(interpret_turn_output(0, "[1,2]", "", false).text, "[1,2]");

    auto error = interpret_turn_output(0, R"({"is_error":true,"session_id":"s2","result":"API Error"})", "", true);
    EXPECT_EQ(error.kind, Kind::ApiError);
    EXPECT_EQ(error.session_id, "s2");  // an error answer still carries the conversation on
    EXPECT_EQ(error.error_object["result"], "API Error");
}

TEST(TurnAnswer, NonZeroExits)
{
    auto stale = interpret_turn_output(1, "", "No conversation found with SESSION ID x", true);
    EXPECT_EQ(stale.kind, Kind::StaleSession);
    auto not_resumed = interpret_turn_output(1, "", "No conversation found with SESSION ID x", false);
    EXPECT_EQ(not_resumed.kind, Kind::Failure);
    EXPECT_EQ(not_resumed.text, "No conversation found with SESSION ID x");

    // Claude Code's error answer names its session: still a provider error, not a stale session.
    auto api = interpret_turn_output(1, R"({"is_error":true,"result":"API Error: 429","session_id":"s"})", "  ", true);
    EXPECT_EQ(api.kind, Kind::ApiError);
    EXPECT_FALSE(api.session_id);
    EXPECT_EQ(interpret_turn_output(2, "  out text ", "", false).text, "out text");
    EXPECT_EQ(interpret_turn_output(7, "", "", false).text, "claude exit code 7");
    EXPECT_EQ(interpret_turn_output(-9, "", "", false).text, "claude exit code -9");
}

namespace {

Translate translator_for(const std::string& language)
{
    return [language](const std::string& key, const Json& values) {
        return translate(translation_table(), language, key, values);
    };
}

}  // namespace

TEST(ApiError, FriendlyTextFollowsStatusProviderAndLanguage)
{
    auto en = translator_for("en");
    Json balance { { "is_error", true },
                   { "api_error_status", 402 },
                   { "result", "API Error: 402 Insufficient Balance" } };
    EXPECT_EQ(humanize_api_error(balance, "deepseek", en),
              "Insufficient balance (HTTP 402). Your DeepSeek account is out of credit — please top up at DeepSeek "
              "before retrying.\n\nOriginal error: API Error: 402 Insufficient Balance");
    EXPECT_EQ(humanize_api_error(balance, "claude", translator_for("zh-Hant")),
              "餘額不足（HTTP 402）。Anthropic 帳號額度已用完 — 請至 Anthropic 後台儲值後再試。\n\n原始錯誤: "
              "API Error: 402 Insufficient Balance");
    EXPECT_EQ(humanize_api_error({ { "api_error_status", 418 }, { "error", " teapot " } }, "claude", en),
              "Anthropic API error (HTTP 418).\n\nOriginal error: teapot");
    EXPECT_EQ(humanize_api_error({ { "api_error_status", 503 }, { "result", "" } }, "claude", en),
              "Anthropic server error (HTTP 503). This is not caused by your input — please retry in a moment.");
    // Raw text that the friendly text already holds is not repeated.
    EXPECT_EQ(humanize_api_error({ { "api_error_status", 418 }, { "result", "API error" } }, "claude", en),
              "Anthropic API error (HTTP 418).");
    // A status given as text is no status.
    EXPECT_EQ(humanize_api_error({ { "api_error_status", "402" }, { "result", " raw\n" } }, "claude", en), "raw");
    EXPECT_EQ(humanize_api_error({ { "is_error", true } }, "claude", en), "claude reported an error");
    EXPECT_EQ(api_error_key(403), "err.api.auth");
    EXPECT_EQ(api_error_key(429), "err.api.ratelimit");
    EXPECT_EQ(api_error_key(400), "err.api.generic");
}
