#include "assistant_fixture.h"

#include <future>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using wrenfold::testing::claude_answer;
using wrenfold::testing::has_flag;
using wrenfold::testing::has_option;

namespace {

Json send(AppBridge& bridge, Json args)
{
    BridgeReply reply = bridge.call("claude_send", args);
    EXPECT_EQ(reply.status, BridgeReply::Status::Ok) << reply.error;
    return reply.result;
}

}  // namespace

TEST(ChatTurn, AnthropicTurnsSendTheMessageOnStdinAndResumeTheSession)
{
    AssistantFolders folders;
    wrenfold::testing::write_text(folders.arch() / "claude規範提示詞.md", "RULES\r\nline two");
    folders.install_fake_claude(Json::array({ claude_answer("s-1", "first"), claude_answer("s-1", "second") }));
    auto app = folders.make_assistant_app();
    AppBridge bridge(*app);

    EXPECT_EQ(send(bridge, Json::array({ "明天下午三點牙醫" })),
              Json::parse(R"({"ok": true, "error": "", "reply": "first"})"));
    EXPECT_EQ(send(bridge, Json::array({ nullptr })), Json::parse(R"({"ok": true, "error": "", "reply": "second"})"));

    auto calls = folders.calls();
    ASSERT_EQ(calls.size(), 2u);
    const Json& first = calls[0]["argv"];
    EXPECT_EQ(first[0], "-p");
    EXPECT_TRUE(has_option(first, "--model", "claude-opus-4-8"));
    EXPECT_TRUE(has_option(first, "--effort", "xhigh"));
    EXPECT_TRUE(has_option(first, "--add-dir", fs::absolute(folders.arch()).string()));
    EXPECT_TRUE(has_option(first, "--permission-mode", "dontAsk"));
    EXPECT_TRUE(has_option(first, "--output-format", "json"));
    EXPECT_FALSE(has_flag(first, "--resume"));
    EXPECT_FALSE(has_flag(first, "--settings"));
    EXPECT_TRUE(has_option(calls[1]["argv"], "--resume", "s-1"));

    // The rules travel in the runtime file; the command line only points at it.
    EXPECT_EQ(wrenfold::testing::read_text(folders.arch() / "_runtime_system_prompt.md"),
              "===== claude規範提示詞.md =====\nRULES\nline two");
    std::string prompt;
    for (std::size_t i = 0; i + 1 < first.size(); ++i)
        if (first[i] == "--append-system-prompt")
            prompt = first[i + 1];
    EXPECT_NE(prompt.find("`_runtime_system_prompt.md`"), std::string::npos);
    EXPECT_EQ(prompt.find("RULES"), std::string::npos);

    std::string message = calls[0]["stdin"];
    EXPECT_EQ(message.rfind("明天下午三點牙醫\n\n----- 行事曆環境 -----\n現在時間：", 0), 0u);
    EXPECT_NE(message.find("（目前沒有可寫入的行事曆"), std::string::npos);
    EXPECT_EQ(std::string(calls[1]["stdin"]).rfind("\n\n----- 行事曆環境 -----", 0), 0u);
}

TEST(ChatTurn, DeepSeekNeedsItsSettingsFileAndPassesOnlyTheChosenModel)
{
    AssistantFolders folders;
    folders.install_fake_claude(Json::array({ claude_answer("d-1", "ok") }));
    auto app = folders.make_assistant_app();
    AppBridge bridge(*app);
    app->set_claude_provider("deepseek");
    app->set_claude_effort("low");

    EXPECT_EQ(send(bridge, Json::array({ "hi" }))["error"],
              "DeepSeek API key is not set. Open Settings → Claude Code model → DeepSeek and enter your API key.");
    EXPECT_TRUE(folders.calls().empty());

    app->set_claude_deepseek_credentials("sk-1");
    EXPECT_EQ(send(bridge, Json::array({ "hi" }))["reply"], "ok");
    app->set_claude_deepseek_model("deepseek-reasoner");
    send(bridge, Json::array({ "hi" }));

    auto calls = folders.calls();
    ASSERT_EQ(calls.size(), 2u);
    auto settings_path = app->claude_custom_settings_path().string();
    EXPECT_TRUE(has_option(calls[0]["argv"], "--settings", settings_path));
    EXPECT_FALSE(has_flag(calls[0]["argv"], "--model"));
    EXPECT_FALSE(has_flag(calls[0]["argv"], "--effort"));
    EXPECT_TRUE(has_option(calls[1]["argv"], "--model", "deepseek-reasoner"));
}

TEST(ChatTurn, WithoutClaudeTheTurnAsksForItsInstallation)
{
    AssistantFolders folders;
    auto app = folders.make_assistant_app();
    AppBridge bridge(*app);
    EXPECT_EQ(send(bridge, Json::array({ "hi" })).dump(),
              R"({"ok":false,"error":"Cannot find claude executable, please install Claude Code first.","reply":""})");
}

TEST(ChatTurn, AStaleSessionIsDroppedAndTheTurnRunsOnceMoreWithoutIt)
{
    AssistantFolders folders;
    auto app = folders.make_assistant_app();
    AppBridge bridge(*app);
    folders.install_fake_claude(Json::array({
        claude_answer("old", "first"),
        { { "exit", 1 }, { "stderr", "No conversation found with session ID: old\n" } },
        claude_answer("new", "after retry"),
    }));
    send(bridge, Json::array({ "one" }));
    auto retried = send(bridge, Json::array({ "two" }));
    EXPECT_EQ(retried.dump(), R"({"ok":true,"error":"","reply":"after retry"})");
    auto calls = folders.calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_TRUE(has_option(calls[1]["argv"], "--resume", "old"));
    EXPECT_FALSE(has_flag(calls[2]["argv"], "--resume"));
    EXPECT_EQ(std::string(calls[2]["stdin"]).rfind("two\n\n-----", 0), 0u);
}

TEST(ChatTurn, AStaleSessionMessageFromAFreshTurnIsAFailureNotAnotherRetry)
{
    AssistantFolders folders;
    auto app = folders.make_assistant_app();
    AppBridge bridge(*app);
    folders.install_fake_claude(Json::array({
        claude_answer("old", "first"),
        { { "exit", 1 }, { "stderr", "No conversation found with session ID: old\n" } },
        { { "exit", 1 }, { "stderr", "No conversation found with session ID: old\n" } },
        claude_answer("later", "not reached"),
    }));
    send(bridge, Json::array({ "one" }));
    EXPECT_EQ(send(bridge, Json::array({ "two" })),
              Json::parse(R"({"ok": false, "error": "No conversation found with session ID: old", "reply": ""})"));
    EXPECT_EQ(folders.calls().size(), 3u);
}

TEST(ChatTurn, ProviderErrorsAreExplainedAndCarryTheConversationOn)
{
    AssistantFolders folders;
    auto app = folders.make_assistant_app();
    AppBridge bridge(*app);
    folders.install_fake_claude(Json::array({
        claude_answer("new", "first"),
        { { "exit", 1 }, { "stdout", R"({"is_error": true, "api_error_status": 429, "result": "rate"})" } },
        { { "stdout",
            R"({"is_error": true, "api_error_status": 401, "session_id": "err-session", "result": "API Error: 401"})" } },
        { { "exit", 2 } },
        { { "stdout", "  plain text answer \n" } },
    }));
    send(bridge, Json::array({ "one" }));
    EXPECT_EQ(send(bridge, Json::array({ "x" }))["error"],
              "Rate limit reached (HTTP 429). Wait a moment and retry, or check your Anthropic account quota."
              "\n\nOriginal error: rate");
    EXPECT_EQ(
        send(bridge, Json::array({ "x" }))["error"].get<std::string>().rfind("Authentication failed (HTTP 401)", 0),
        0u);
    EXPECT_TRUE(has_option(folders.calls()[2]["argv"], "--resume", "new"));
    // The error answer still carried the conversation on; a plain exit code is reported as such.
    EXPECT_EQ(send(bridge, Json::array({ "x" })),
              Json::parse(R"({"ok": false, "error": "claude exit code 2", "reply": ""})"));
    EXPECT_TRUE(has_option(folders.calls()[3]["argv"], "--resume", "err-session"));
    EXPECT_EQ(send(bridge, Json::array({ "x" }))["reply"], "plain text answer");
}

TEST(ChatTurn, ATurnPastItsTimeLimitIsKilled)
{
    AssistantFolders folders;
    folders.install_fake_claude(Json::array({ { { "sleep", 30 }, { "stdout", "never" } } }));
    auto app = folders.make_assistant_app();
    AppBridge bridge(*app);
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(send(bridge, Json::array({ "hi", "", nullptr, 0.5 })),
              Json::parse(R"({"ok": false, "error": "Claude response timed out (0.5 seconds).", "reply": ""})"));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    EXPECT_EQ(bridge.call("claude_send", Json::array({ "hi", "", nullptr, "soon" })).status,
              BridgeReply::Status::Failed);
}

TEST(ChatTurn, AResetCancelsTheRunningTurnEvenAfterItPrintedItsAnswer)
{
    AssistantFolders folders;
    // The answer is printed at once, but the child lingers before it exits.
    folders.install_fake_claude(
        Json::array({ { { "stdout", R"({"session_id": "late", "result": "too late"})" }, { "linger", 30 } },
                      claude_answer("fresh", "after reset") }));
    auto app = folders.make_assistant_app();
    AppBridge bridge(*app);

    auto turn = std::async(std::launch::async, [&] { return send(bridge, Json::array({ "hi" })); });
    folders.wait_for_calls(1);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(bridge.call("claude_reset_session", Json::array()).result, true);
    ASSERT_EQ(turn.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(turn.get(), Json::parse(R"({"ok": false, "cancelled": true, "error": "", "reply": ""})"));

    // The cancelled turn's session id was not kept.
    send(bridge, Json::array({ "again" }));
    EXPECT_FALSE(has_flag(folders.calls()[1]["argv"], "--resume"));
}

TEST(ChatTurn, AResetStopsEveryRunningTurnNotOnlyTheLatest)
{
    // Two pages (browser tabs) may each run a turn; "new conversation" in
    // one must stop both children.
    AssistantFolders folders;
    folders.install_fake_claude(Json::array({ { { "sleep", 60 }, { "stdout", "never" } } }));
    auto app = folders.make_assistant_app();
    AppBridge bridge(*app);

    auto first = std::async(std::launch::async, [&] { return send(bridge, Json::array({ "one" })); });
    folders.wait_for_calls(1);
    auto second = std::async(std::launch::async, [&] { return send(bridge, Json::array({ "two" })); });
    folders.wait_for_calls(2);
    ASSERT_EQ(folders.calls().size(), 2u);
    EXPECT_EQ(bridge.call("claude_reset_session", Json::array()).result, true);
    const Json cancelled = Json::parse(R"({"ok": false, "cancelled": true, "error": "", "reply": ""})");
    for (auto* turn : { &first, &second }) {
        ASSERT_EQ(turn->wait_for(10s), std::future_status::ready);
        EXPECT_EQ(turn->get(), cancelled);
    }
}

TEST(ChatTurn, ShutdownEndsARunningTurnAndItsChild)
{
    AssistantFolders folders;
    folders.install_fake_claude(Json::array({ { { "sleep", 60 }, { "stdout", "never" } } }));
    auto app = folders.make_assistant_app();
    AppBridge bridge(*app);

    auto turn = std::async(std::launch::async, [&] { return send(bridge, Json::array({ "hi" })); });
    folders.wait_for_calls(1);
    app->_shutdown();
    ASSERT_EQ(turn.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(turn.get(), Json::parse(R"({"ok": false, "cancelled": true, "error": "", "reply": ""})"));
}

TEST(ChatTurn, TheRuntimePromptFallsBackToAPrivateFolderNeverTheDataFolder)
{
    // The assistant may read the folder the file lies in; the data folder
    // holds the accounts and their passwords.
    AssistantFolders folders;
    wrenfold::testing::write_text(folders.arch() / "架構說明目錄.md", "INDEX");
    fs::create_directories(folders.arch() / "_runtime_system_prompt.md");  // cannot be written as a file
    folders.install_fake_claude(Json::array({ claude_answer("s", "ok") }));
    auto app = folders.make_assistant_app();
    AppBridge bridge(*app);
    send(bridge, Json::array({ "hi" }));

    auto argv = folders.calls()[0]["argv"];
    std::vector<fs::path> added;
    for (std::size_t i = 0; i + 1 < argv.size(); ++i)
        if (argv[i] == "--add-dir")
            added.push_back(argv[i + 1].get<std::string>());
    ASSERT_EQ(added.size(), 2u);
    EXPECT_EQ(added[0], fs::absolute(folders.arch()));
    const fs::path& private_folder = added[1];
    EXPECT_EQ(std::distance(fs::directory_iterator(private_folder), fs::directory_iterator()), 1);
    EXPECT_EQ(wrenfold::testing::read_text(private_folder / "_runtime_system_prompt.md"),
              "===== 架構說明目錄.md =====\nINDEX");
    EXPECT_EQ(fs::status(private_folder).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_FALSE(fs::exists(folders.data() / "_runtime_system_prompt.md"));
    EXPECT_TRUE(has_flag(argv, "Read(/" + (private_folder / "_runtime_system_prompt.md").string() + ")"));
    for (const auto& arg : argv)
        EXPECT_EQ(arg.get<std::string>().find(folders.data().string() + "/_"), std::string::npos) << arg;
}

TEST(ChatTurn, TheChildStartsInAnEmptyPrivateFolderWithoutTheProgramsSecrets)
{
    AssistantFolders folders;
    folders.env->set("GITHUB_TOKEN", "ghp-secret");
    folders.env->set("SSH_AUTH_SOCK", "/run/agent");
    folders.install_fake_claude(Json::array({ claude_answer("s", "one"), claude_answer("s", "two") }));
    auto app = folders.make_assistant_app();
    {
        AppBridge bridge(*app);
        send(bridge, Json::array({ "hi" }));
        send(bridge, Json::array({ "again" }));
    }

    auto calls = folders.calls();
    fs::path working = calls[0]["cwd"].get<std::string>();
    // The same folder every turn: Claude Code finds the conversation it resumes by it.
    EXPECT_EQ(calls[1]["cwd"], calls[0]["cwd"]);
    EXPECT_TRUE(fs::is_empty(working));
    EXPECT_EQ(fs::status(working).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_NE(working.string().rfind(folders.data().string(), 0), 0u) << working;
    const Json& names = calls[0]["env"];
    for (const char* name : { "HOME", "PATH" })
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
    for (const char* name : { "GITHUB_TOKEN", "SSH_AUTH_SOCK" })
        EXPECT_EQ(std::find(names.begin(), names.end(), name), names.end()) << name;

    app.reset();  // the run's private folders go with it
    EXPECT_FALSE(fs::exists(working));
}

TEST(ChatTurn, AChildFloodingItsOutputIsEndedAndTheTurnFails)
{
    AssistantFolders folders;
    folders.install_fake_claude(Json::array({ { { "flood_mb", 64 } } }));
    auto app = folders.make_assistant_app();
    AppBridge bridge(*app);
    EXPECT_EQ(
        send(bridge, Json::array({ "hi" })),
        Json::parse(R"({"ok": false, "error": "Failed to execute claude: the output passed 8 MB", "reply": ""})"));
}

TEST(ChatTurn, WithoutDocumentsThePromptIsPassedInline)
{
    AssistantFolders folders;
    folders.install_fake_claude(Json::array({ claude_answer("s", "ok") }));
    auto app = folders.make_assistant_app();
    app->set_language("zh-Hant");
    AppBridge bridge(*app);
    send(bridge, Json::array({ "hi" }));

    auto argv = folders.calls()[0]["argv"];
    std::string prompt;
    for (std::size_t i = 0; i + 1 < argv.size(); ++i)
        if (argv[i] == "--append-system-prompt")
            prompt = argv[i + 1];
    EXPECT_EQ(prompt, app->_build_claude_system_prompt());
    EXPECT_NE(prompt.find("\n\n【回答語言】使用者目前的介面語系是 `zh-Hant`"), std::string::npos);
    EXPECT_FALSE(fs::exists(folders.arch() / "_runtime_system_prompt.md"));
}
