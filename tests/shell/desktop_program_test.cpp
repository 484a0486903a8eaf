// The real program as a desktop starts it: modes, a second start, desktop
// services through the bridge. The tests that need a display run under xvfb-run
// (WRENFOLD_TEST_DISPLAY=1); the others take the display away.
#include "support/files.h"
#include "support/running_program.h"
#include "support/temp_dir.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <regex>
#include <set>
#include <thread>

using namespace std::chrono_literals;
using Json = nlohmann::ordered_json;
using wrenfold::testing::ProgramAddress;
using wrenfold::testing::read_text;
using wrenfold::testing::RunningProgram;
using wrenfold::testing::TempDir;
using wrenfold::testing::write_text_with_mode;

namespace {

bool display_tests()
{
    const char* value = std::getenv("WRENFOLD_TEST_DISPLAY");
    return value && std::string(value) == "1";
}

class DesktopProgram : public ::testing::Test {
protected:
    std::unique_ptr<RunningProgram> start(const std::vector<std::string>& args, bool with_display)
    {
        std::map<std::string, std::string> environment { { "HOME", home.path().string() },
                                                         { "XDG_DATA_HOME", "" },
                                                         { "NO_AT_BRIDGE", "1" },
                                                         { "PATH",
                                                           (home / "bin").string() + ":" + std::getenv("PATH") } };
        if (!with_display) {
            environment["DISPLAY"] = "";
            environment["WAYLAND_DISPLAY"] = "";
        }
        environment.insert(extra_environment.begin(), extra_environment.end());
        return std::make_unique<RunningProgram>(WRENFOLD_BINARY, args, environment);
    }

    ProgramAddress address_of(RunningProgram& program, std::vector<std::string>* seen = nullptr)
    {
        auto address = wrenfold::testing::read_address(program, 30s, seen);
        if (!address)
            ADD_FAILURE() << "no address line";
        return address.value_or(ProgramAddress {});
    }

    Json call(const ProgramAddress& address, const std::string& method, const Json& args)
    {
        auto response = wrenfold::testing::post_bridge_call(address, method, args.dump(), 20s);
        EXPECT_TRUE(response && response->status == 200) << method;
        return response ? Json::parse(response->body)["result"] : Json();
    }

    // A stand-in for the desktop's link handler that notes what it was given.
    void install_fake_xdg_open()
    {
        // It also notes its blocked signals: the browser must not inherit ours.
        write_text_with_mode(home / "bin/xdg-open",
                             "#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"$HOME/opened.txt\"\n"
                             "exec grep SigBlk /proc/self/status >> \"$HOME/signals.txt\"\n",
                             std::filesystem::perms(0755));
    }

    TempDir home;
    std::map<std::string, std::string> extra_environment;
};

// The program where no display is; skipped in the run on a display.
class DesktopProgramWithoutDisplay : public DesktopProgram {
protected:
    void SetUp() override
    {
        if (display_tests())
            GTEST_SKIP() << "runs without a display";
    }

    // Whatever a test did with it, the program ends cleanly when terminated.
    void TearDown() override
    {
        if (!running)
            return;
        running->send_signal(SIGTERM);
        EXPECT_EQ(running->wait(10s), 0);
    }

    // Starts the browser host with the stand-in link handler in place; sets
    // `running` and `running_at`.
    void start_serving(std::vector<std::string>* seen = nullptr)
    {
        install_fake_xdg_open();
        running = start({ "--no-open" }, false);
        running_at = address_of(*running, seen);
    }

    std::unique_ptr<RunningProgram> running;
    ProgramAddress running_at;
};

}  // namespace

TEST_F(DesktopProgramWithoutDisplay, HelpPrintsTheUsage)
{
    auto help = start({ "--help" }, false);
    auto first = help->read_line(10s);
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->starts_with("usage: wrenfold")) << *first;
    EXPECT_EQ(help->wait(10s), 0);
}

TEST_F(DesktopProgramWithoutDisplay, VersionPrintsTheVersion)
{
    auto version = start({ "--version" }, false);
    EXPECT_EQ(version->read_line(10s), "wrenfold " WRENFOLD_VERSION);
    EXPECT_EQ(version->wait(10s), 0);
}

TEST_F(DesktopProgramWithoutDisplay, AnUnknownOptionEndsWithStatus2)
{
    EXPECT_EQ(start({ "--versions" }, false)->wait(10s), 2);
}

TEST_F(DesktopProgramWithoutDisplay, TheBrowserHostServesAndALaterStartIsHandedItsAddress)
{
    std::vector<std::string> seen;
    start_serving(&seen);
    ASSERT_NE(running_at.port, 0);
    bool said_so = false;
    for (const auto& line : seen)
        said_so = said_so || line.starts_with("No display found");
    EXPECT_TRUE(said_so) << "one line says why there is no window";

    auto second = start({ "--browser", "--no-open" }, false);
    ProgramAddress handed = address_of(*second);
    EXPECT_EQ(handed.port, running_at.port);
    EXPECT_EQ(handed.token, running_at.token);
    EXPECT_EQ(second->wait(10s), 0);
}

TEST_F(DesktopProgramWithoutDisplay, TheClipboardReadsEmpty)
{
    start_serving();
    EXPECT_EQ(call(running_at, "read_clipboard", Json::array()), "");
}

TEST_F(DesktopProgramWithoutDisplay, OnlyWebAndMailLinksAreHandedToTheDesktopWithNoSignalsBlocked)
{
    start_serving();
    const std::pair<const char*, bool> links[] = {
        { "https://example.org/a?b=1", true },
        { "mailto:someone@example.org?attach=/etc/passwd", true },
        { "javascript:alert(1)", false },
        { "file:///etc/passwd", false },
        { "", false },
    };
    for (const auto& [link, handed_over] : links) {
        SCOPED_TRACE(link);
        EXPECT_EQ(call(running_at, "open_url", Json::array({ link })), handed_over);
    }
    auto lines = [](const std::string& text) { return std::count(text.begin(), text.end(), '\n'); };
    for (int i = 0; i < 100 && lines(read_text(home / "signals.txt")) < 2; ++i)
        std::this_thread::sleep_for(100ms);
    std::this_thread::sleep_for(300ms);  // a third hand-over, wrongly made, would show by now
    // Each hand-over runs on its own, so they may note in either order.
    std::string opened = read_text(home / "opened.txt");
    EXPECT_TRUE(opened == "https://example.org/a?b=1\nmailto:someone@example.org\n" ||
                opened == "mailto:someone@example.org\nhttps://example.org/a?b=1\n")
        << opened;
    EXPECT_EQ(read_text(home / "signals.txt"), "SigBlk:\t0000000000000000\nSigBlk:\t0000000000000000\n");
}

namespace {

// The command lines of every process of the machine, NULs made blanks.
std::vector<std::string> every_command_line()
{
    std::vector<std::string> lines;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::string text = read_text(entry.path() / "cmdline");
        std::replace(text.begin(), text.end(), '\0', ' ');
        if (!text.empty())
            lines.push_back(text);
    }
    return lines;
}

}  // namespace

TEST_F(DesktopProgramWithoutDisplay, TheBrowserIsHandedAPrivatePageAndTheTokenStandsOnNoCommandLine)
{
    // A browser that notes what it was given and stays open until released.
    write_text_with_mode(home / "bin/xdg-open",
                         "#!/bin/sh\nprintf '%s\\n' \"$1\" > \"$HOME/opened.tmp\"\n"
                         "mv \"$HOME/opened.tmp\" \"$HOME/opened.txt\"\n"
                         "for i in $(seq 200); do [ -e \"$HOME/release\" ] && exit 0; sleep 0.1; done\n",
                         std::filesystem::perms(0755));
    std::filesystem::create_directories(home / "run");
    extra_environment["XDG_RUNTIME_DIR"] = (home / "run").string();
    running = start({}, false);
    running_at = address_of(*running);
    for (int i = 0; i < 100 && !std::filesystem::exists(home / "opened.txt"); ++i)
        std::this_thread::sleep_for(100ms);
    std::string handed = read_text(home / "opened.txt");
    ASSERT_FALSE(handed.empty()) << "the browser was not started";
    std::filesystem::path page = handed.substr(0, handed.size() - 1);

    auto lines = every_command_line();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(page.string()) != std::string::npos;
    })) << "the browser still runs";
    for (const auto& line : lines)
        EXPECT_EQ(line.find(running_at.token), std::string::npos) << line;

    EXPECT_EQ(page.parent_path().parent_path(), home / "run");
    namespace fs = std::filesystem;
    EXPECT_EQ(fs::status(page.parent_path()).permissions(), fs::perms::owner_all);
    EXPECT_EQ(fs::status(page).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    std::smatch forwarded;
    std::string text = read_text(page);
    ASSERT_TRUE(std::regex_search(text, forwarded, std::regex(R"(url=(http://[^"]+))"))) << text;
    EXPECT_EQ(forwarded[1], "http://127.0.0.1:" + std::to_string(running_at.port) + "/#token=" + running_at.token);

    // The page forwarded to works, and once it has been used the launch page is gone.
    EXPECT_TRUE(call(running_at, "get_initial_state", Json::array()).is_object());
    EXPECT_FALSE(fs::exists(page.parent_path()));
    wrenfold::testing::write_text(home / "release", "");
}

TEST_F(DesktopProgramWithoutDisplay, TheLicenceNoticesCoverEveryLinkedLibrary)
{
    start_serving();
    // The licence notices of what the program links, built beside it.
    Json items = call(running_at, "get_third_party_licenses", Json::array())["items"];
    std::set<std::string> names;
    for (const auto& item : items) {
        names.insert(item["name"]);
        EXPECT_FALSE(item["version"].get<std::string>().empty()) << item["name"];
        EXPECT_GT(item["body"].get<std::string>().size(), 100u) << item["name"];
    }
    for (auto name : { "nlohmann-json", "libcurl", "cpp-httplib", "libxml2", "libical", "webkit2gtk", "gtk3" })
        EXPECT_TRUE(names.contains(name)) << name;
}

TEST_F(DesktopProgram, TheWindowComesForwardForALaterStartAndTheProgramEndsCleanlyOnTerminate)
{
    if (!display_tests())
        GTEST_SKIP() << "needs xvfb-run";
    auto program = start({}, true);
    ASSERT_TRUE(wrenfold::testing::read_line_matching(*program, std::regex("run model --> .*"), 30s));

    // The running program answers once its window is up.
    auto second = start({}, true);
    EXPECT_EQ(second->read_line(30s), "Wrenfold is already running; its window is shown.");
    EXPECT_EQ(second->wait(30s), 0);
    EXPECT_TRUE(std::filesystem::is_directory(home / ".local/share/kelvane/Wrenfold/webview2_data"));

    program->send_signal(SIGTERM);
    EXPECT_EQ(program->wait(20s), 0);
    EXPECT_TRUE(std::filesystem::exists(home / ".local/share/kelvane/Wrenfold/settings.json"));
}

TEST_F(DesktopProgram, TheBrowserHostOnADesktopReadsTheClipboardOfAnotherClient)
{
    if (!display_tests())
        GTEST_SKIP() << "needs xvfb-run";
    write_text_with_mode(home / "text.txt", "two\nlines\n", std::filesystem::perms(0644));
    RunningProgram owner("/usr/bin/xclip", { "-quiet", "-selection", "clipboard", "-i", (home / "text.txt").string() },
                         {});
    std::this_thread::sleep_for(500ms);
    auto program = start({ "--browser", "--no-open" }, true);
    ProgramAddress address = address_of(*program);
    EXPECT_EQ(call(address, "read_clipboard", Json::array()), "two\nlines\n");
    program->send_signal(SIGTERM);
    EXPECT_EQ(program->wait(10s), 0);
}
