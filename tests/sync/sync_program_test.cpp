// The launcher, the application and the sync worker as the user runs them,
// against a real Radicale on loopback, driven through the browser host.
#include "support/caldav_server.h"
#include "support/files.h"
#include "support/running_program.h"
#include "support/temp_dir.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>
#include <fstream>
#include <thread>

using namespace std::chrono_literals;
using Json = nlohmann::ordered_json;
using wrenfold::testing::CalDavServerKind;
using wrenfold::testing::CalDavTestServer;
using wrenfold::testing::RunningProgram;
using wrenfold::testing::TempDir;

namespace {

std::string event_ics(const std::string& uid, const std::string& summary)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//other device//EN\r\nBEGIN:VEVENT\r\nUID:" + uid +
        "\r\nDTSTAMP:20250501T000000Z\r\nDTSTART:20250510T010000Z\r\nDTEND:20250510T020000Z\r\nSUMMARY:" + summary +
        "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

// The processes whose parent is `parent`, with their command lines.
std::map<int, std::string> children_of(int parent)
{
    std::map<int, std::string> children;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream stat(entry.path() / "stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        auto close = text.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(text.substr(close + 2));
        std::string state;
        int ppid = 0;
        rest >> state >> ppid;
        if (ppid != parent || state == "Z")
            continue;
        std::string cmdline = wrenfold::testing::read_text(entry.path() / "cmdline");
        children[std::stoi(name)] = cmdline.substr(0, cmdline.find('\0'));
    }
    return children;
}

bool process_exists(int pid)
{
    return ::kill(pid, 0) == 0;
}

class SyncProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(wrenfold::testing::server_installed(CalDavServerKind::Radicale)) << "radicale is not installed";
        server = std::make_unique<CalDavTestServer>(CalDavServerKind::Radicale);
        home_calendar = server->create_calendar("home", "Home");
        program = std::make_unique<RunningProgram>(
            WRENFOLD_BINARY, std::vector<std::string> { "--browser", "--no-open" },
            std::map<std::string, std::string> { { "HOME", home.path().string() },
                                                 { "XDG_DATA_HOME", "" },
                                                 { "WRENFOLD_CALDAV_URL", server->root_url() },
                                                 { "WRENFOLD_SYNC_INTERVAL", "2" } });
        address = wrenfold::testing::read_address(*program, 20s).value_or(wrenfold::testing::ProgramAddress {});
        ASSERT_NE(address.port, 0) << "no address line";
        Json added = call("add_account", { server->user(), server->password() });
        ASSERT_TRUE(added["ok"].get<bool>()) << added.dump();
        account_id = added["account"]["id"];
        // Two cycles: the worker has read the new account and recorded its calendars.
        std::this_thread::sleep_for(5s);
    }

    void TearDown() override
    {
        if (program) {
            program->send_signal(SIGTERM);
            program->wait(10s);
        }
    }

    Json call(const std::string& method, const Json& args = Json::array())
    {
        auto response = wrenfold::testing::post_bridge_call(address, method, args.dump(), 60s);
        if (!response || response->status != 200)
            throw std::runtime_error(method + " failed");
        return Json::parse(response->body)["result"];
    }

    // Polls the runtime state until `condition` holds, for at most `limit`.
    template <typename Condition> bool state_becomes(Condition condition, std::chrono::seconds limit)
    {
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            if (condition(call("get_runtime_state")))
                return true;
            std::this_thread::sleep_for(200ms);
        }
        return false;
    }

    std::string status_of(const Json& state, const std::string& url)
    {
        return state["sync_status"].value(url, std::string("(none)"));
    }

    std::filesystem::path data_directory() const { return home / ".local/share/kelvane/Wrenfold"; }

    int worker_pid()
    {
        for (const auto& [pid, command] : children_of(program->pid())) {
            if (command == "wrenfold")
                return pid;
        }
        return 0;
    }

    TempDir home;
    std::unique_ptr<CalDavTestServer> server;
    std::string home_calendar;
    std::unique_ptr<RunningProgram> program;
    wrenfold::testing::ProgramAddress address;
    std::string account_id;
};

TEST_F(SyncProgramTest, ChangesElsewhereArriveOutagesShowAndTheStoreIsOnlyRead)
{
    Json start = call("get_runtime_state");
    ASSERT_EQ(server->put_resource(home_calendar + "phone-1.ics", event_ics("phone-1", "From the phone")), 201);
    EXPECT_TRUE(state_becomes(
        [&](const Json& state) {
            return state["refresh_token"] > start["refresh_token"] && status_of(state, home_calendar) == "ok";
        },
        8s));

    Json before_new = call("get_runtime_state");
    std::string extra = server->create_calendar("extra", "Made on the web");
    EXPECT_TRUE(
        state_becomes([&](const Json& state) { return state["calendars_token"] > before_new["calendars_token"]; }, 8s));
    Json listed = call("list_accounts")["accounts"][0]["calendars"];
    EXPECT_TRUE(std::any_of(listed.begin(), listed.end(), [&](const Json& c) { return c["url"] == extra; }))
        << listed.dump();

    // From here on only the worker works: the store must stay as it is, to the inode.
    auto accounts_file = data_directory() / "accounts.json";
    std::string stored = wrenfold::testing::read_text(accounts_file);
    struct stat before_outage { };
    ASSERT_EQ(::stat(accounts_file.c_str(), &before_outage), 0);

    server->stop();
    EXPECT_TRUE(state_becomes(
        [&](const Json& state) {
            return status_of(state, home_calendar) == "error" && status_of(state, extra) == "error";
        },
        8s));
    server->start_again();
    EXPECT_TRUE(state_becomes(
        [&](const Json& state) { return status_of(state, home_calendar) == "ok" && status_of(state, extra) == "ok"; },
        20s));

    struct stat after_outage { };
    ASSERT_EQ(::stat(accounts_file.c_str(), &after_outage), 0);
    EXPECT_EQ(after_outage.st_ino, before_outage.st_ino);
    EXPECT_EQ(wrenfold::testing::read_text(accounts_file), stored);
}

TEST_F(SyncProgramTest, AKilledWorkerIsReplacedAndTerminationEndsEveryProcess)
{
    int worker = worker_pid();
    ASSERT_NE(worker, 0);
    ::kill(worker, SIGKILL);
    std::this_thread::sleep_for(1s);
    int replacement = worker_pid();
    ASSERT_NE(replacement, 0);
    EXPECT_NE(replacement, worker);
    // The new worker records the calendars in its first look, then sees the change.
    std::this_thread::sleep_for(3s);

    Json start = call("get_runtime_state");
    ASSERT_EQ(server->put_resource(home_calendar + "phone-2.ics", event_ics("phone-2", "After the restart")), 201);
    EXPECT_TRUE(state_becomes([&](const Json& state) { return state["refresh_token"] > start["refresh_token"]; }, 8s));

    call("set_language", { "zh-Hant" });
    auto children = children_of(program->pid());
    ASSERT_EQ(children.size(), 2u);
    program->send_signal(SIGTERM);
    EXPECT_EQ(program->wait(10s), 0);
    for (const auto& [pid, command] : children)
        EXPECT_FALSE(process_exists(pid)) << command;
    Json settings = Json::parse(wrenfold::testing::read_text(data_directory() / "settings.json"));
    EXPECT_EQ(settings["language"], "zh-Hant");
    program.reset();
}

TEST_F(SyncProgramTest, AChangeMadeWhileNoWorkerWatchedArrivesAfterTheRestart)
{
    int worker = worker_pid();
    ASSERT_NE(worker, 0);
    // The worker hangs, a change is made, then the worker dies: no look of
    // the old worker saw the change, and its replacement's first look
    // finds it already there.
    ::kill(worker, SIGSTOP);
    Json start = call("get_runtime_state");
    ASSERT_EQ(server->put_resource(home_calendar + "phone-3.ics", event_ics("phone-3", "While it hung")), 201);
    ::kill(worker, SIGKILL);
    EXPECT_TRUE(state_becomes(
        [&](const Json& state) {
            return state["refresh_token"] > start["refresh_token"] && status_of(state, home_calendar) == "ok";
        },
        8s));
}

TEST_F(SyncProgramTest, AKilledApplicationEndsTheWorkerAndTheLauncher)
{
    int worker = worker_pid();
    int application = 0;
    for (const auto& [pid, command] : children_of(program->pid())) {
        if (pid != worker)
            application = pid;
    }
    ASSERT_NE(worker, 0);
    ASSERT_NE(application, 0);
    ::kill(application, SIGKILL);
    EXPECT_EQ(program->wait(5s), 128 + SIGKILL);
    EXPECT_FALSE(process_exists(worker));
    program.reset();
}

}  // namespace
