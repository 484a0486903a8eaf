// The real program, driven the way a browser drives it.
#include "support/canned_server.h"
#include "support/files.h"
#include "support/running_program.h"
#include "support/temp_dir.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

using namespace std::chrono_literals;
using Json = nlohmann::ordered_json;
using wrenfold::testing::ProgramAddress;
using wrenfold::testing::read_text;
using wrenfold::testing::RunningProgram;
using wrenfold::testing::TempDir;

namespace {

class ProgramTest : public ::testing::Test {
protected:
    std::unique_ptr<RunningProgram> start(const std::vector<std::string>& args,
                                          std::map<std::string, std::string> environment = {})
    {
        environment["HOME"] = home.path().string();
        environment["XDG_DATA_HOME"] = "";
        return std::make_unique<RunningProgram>(WRENFOLD_BINARY, args, environment);
    }

    // Reads lines until the address line; fails the test when none comes.
    ProgramAddress address_of(RunningProgram& program)
    {
        auto address = wrenfold::testing::read_address(program, 20s);
        if (!address)
            ADD_FAILURE() << "no address line";
        return address.value_or(ProgramAddress {});
    }

    Json call(const ProgramAddress& address, const std::string& method, const Json& args, int expected_status = 200)
    {
        auto response = wrenfold::testing::post_bridge_call(address, method, args.dump(), 5s);
        EXPECT_TRUE(response) << method;
        if (!response)
            return nullptr;
        EXPECT_EQ(response->status, expected_status) << method << ": " << response->body;
        return Json::parse(response->body);
    }

    std::filesystem::path data_directory() const { return home / ".local/share/kelvane/Wrenfold"; }

    // Starts the program serving the browser; sets `running` and `running_at`.
    void start_serving(const std::vector<std::string>& args = { "--browser", "--no-open" },
                       std::map<std::string, std::string> environment = {})
    {
        running = start(args, std::move(environment));
        running_at = address_of(*running);
    }

    Json initial_state() { return call(running_at, "get_initial_state", Json::array())["result"]; }

    // Stores as an older version or a crash may leave them: a language
    // spelled the old way, a junk account, a password kept in the file and a
    // half-written temporary file.
    void store_what_was_left_behind()
    {
        wrenfold::testing::write_text(data_directory() / "settings.json",
                                      R"({"language": "zh_TW", "view": "week", "default_calendar": "https://c/1/"})");
        wrenfold::testing::write_text(
            data_directory() / "accounts.json",
            R"({"accounts": ["junk", {"apple_id": "露西@example.com", "app_password": "pw"}]})");
        wrenfold::testing::write_text(data_directory() / "accounts.json.1234abcd.tmp", "{");
    }

    TempDir home;
    std::unique_ptr<RunningProgram> running;
    ProgramAddress running_at;
};

}  // namespace

TEST_F(ProgramTest, AFirstStartAnswersTheDefaultState)
{
    start_serving({ "--browser", "--port", "0", "--no-open" });
    Json state = initial_state();
    EXPECT_EQ(state["language"], "en");
    EXPECT_EQ(state["view"], "month");
    EXPECT_EQ(state["accounts"], Json::array());
    EXPECT_EQ(state["accounts_file"], (data_directory() / "accounts.json").string());
}

TEST_F(ProgramTest, ServesItsPicturesAsDataUrls)
{
    start_serving();
    Json images = call(running_at, "get_images", Json::array())["result"];
    EXPECT_TRUE(images["logo"].get<std::string>().starts_with("data:image/png;base64,iVBORw0KGgo"));
    EXPECT_TRUE(images["logo_ico"].get<std::string>().starts_with("data:image/x-icon;base64,"));
    EXPECT_TRUE(images["gear"].get<std::string>().starts_with("data:image/png;base64,"));
}

TEST_F(ProgramTest, RefusesPrivateMethodsAndArgumentsThatAreNoList)
{
    start_serving();
    call(running_at, "_save_settings", Json::array(), 404);
    call(running_at, "set_language", Json::object(), 400);
}

TEST_F(ProgramTest, SavesTheSettingsWhenTerminated)
{
    start_serving();
    EXPECT_EQ(call(running_at, "set_language", Json::array({ "zh-Hant" }))["result"]["language"], "zh-Hant");
    running->send_signal(SIGTERM);
    EXPECT_EQ(running->wait(10s), 0);
    Json settings = Json::parse(read_text(data_directory() / "settings.json"));
    EXPECT_EQ(settings["language"], "zh-Hant");
}

TEST_F(ProgramTest, InterruptEndsCleanlyAndTheNextStartKeepsTheSettings)
{
    start_serving();
    call(running_at, "set_language", Json::array({ "zh-Hant" }));
    running->send_signal(SIGINT);
    EXPECT_EQ(running->wait(10s), 0);

    start_serving();
    EXPECT_EQ(initial_state()["language"], "zh-Hant");
}

TEST_F(ProgramTest, TerminateDuringAChatTurnEndsAtOnceAndTakesTheTurnAlong)
{
    // A Claude Code that never answers, and tells where it runs.
    wrenfold::testing::write_text_with_mode(home / ".local/bin/claude",
                                            "#!/bin/sh\necho $$ > \"$HOME/claude.pid.part\"\n"
                                            "mv \"$HOME/claude.pid.part\" \"$HOME/claude.pid\"\nexec sleep 300\n",
                                            std::filesystem::perms(0755));
    start_serving();
    std::thread turn(
        [&] { wrenfold::testing::post_bridge_call(running_at, "claude_send", R"(["hello", "", null, 600])", 60s); });
    for (int i = 0; i < 2000 && !std::filesystem::exists(home / "claude.pid"); ++i)
        std::this_thread::sleep_for(10ms);
    std::string claude_pid = read_text(home / "claude.pid");
    ASSERT_FALSE(claude_pid.empty());

    running->send_signal(SIGTERM);
    auto status = running->wait(8s);
    turn.join();
    EXPECT_EQ(status, 0);
    // Gone, or a zombie of init's at most.
    std::string stat = read_text("/proc/" + std::to_string(std::stoi(claude_pid)) + "/stat");
    EXPECT_TRUE(stat.empty() || stat.find(") Z") != std::string::npos) << stat;
}

TEST_F(ProgramTest, StartsFromTheStoredSettingsAndSavesAnUnknownLanguageAsEnglish)
{
    store_what_was_left_behind();
    start_serving();
    Json state = initial_state();
    EXPECT_EQ(state["language"], "en");
    EXPECT_EQ(state["view"], "week");
    EXPECT_EQ(state["default_calendar"], "https://c/1/");

    running->send_signal(SIGTERM);
    EXPECT_EQ(running->wait(10s), 0);
    EXPECT_EQ(Json::parse(read_text(data_directory() / "settings.json"))["language"], "en");
}

TEST_F(ProgramTest, ListsTheStoredAccountsWithoutJunkOrPasswords)
{
    store_what_was_left_behind();
    start_serving();
    Json accounts = initial_state()["accounts"];
    ASSERT_EQ(accounts.size(), 1u);
    EXPECT_EQ(accounts[0]["apple_id"], "露西@example.com");
    EXPECT_EQ(accounts[0]["id"].get<std::string>().size(), 32u);
    EXPECT_EQ(accounts[0]["home_tzid"], "Asia/Taipei");
    EXPECT_FALSE(accounts[0].contains("app_password"));
}

TEST_F(ProgramTest, RemovesTheStoresHalfWrittenTemporaryFiles)
{
    store_what_was_left_behind();
    start_serving();
    EXPECT_FALSE(std::filesystem::exists(data_directory() / "accounts.json.1234abcd.tmp"));
}

TEST_F(ProgramTest, RejectsUnknownOptions)
{
    auto refused = start({ "--bogus" });
    EXPECT_EQ(refused->wait(10s), 2);
}

TEST_F(ProgramTest, TerminateWhileRequestsWaitOnASilentServerEndsAtOnceWithTheSettingsSaved)
{
    wrenfold::testing::SilentServer server;
    wrenfold::testing::write_text(
        data_directory() / "accounts.json",
        Json({ { "accounts",
                 { { { "apple_id", "a@example.com" },
                     { "app_password", "pw" },
                     { "calendars", { { { "url", server.root() + "cal/" }, { "name", "Home" } } } } } } } })
            .dump());
    start_serving({ "--browser", "--no-open" }, { { "WRENFOLD_CALDAV_URL", server.root() } });
    call(running_at, "set_language", Json::array({ "zh-Hant" }));
    // The page's fetch and the start's background sync both wait on the server.
    std::thread fetch(
        [&] { wrenfold::testing::post_bridge_call(running_at, "get_events", R"(["2026-12-01", "2027-01-01"])", 30s); });
    std::this_thread::sleep_for(300ms);

    running->send_signal(SIGTERM);
    auto status = running->wait(3s);
    fetch.join();
    EXPECT_EQ(status, 0) << "the launcher kills an application still running 15 s after the signal";
    EXPECT_EQ(Json::parse(read_text(data_directory() / "settings.json"))["language"], "zh-Hant");
}
