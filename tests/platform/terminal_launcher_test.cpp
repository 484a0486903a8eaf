#include "platform/platform_error.h"
#include "platform/terminal_launcher.h"
#include "support/files.h"
#include "support/temp_dir.h"

#include "core/unique_fd.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>

#include <csignal>
#include <system_error>
#include <thread>

using namespace wrenfold::platform;
using wrenfold::testing::TempDir;

using namespace std::chrono_literals;

TEST(TerminalLauncher, OpensTheFirstTerminalFoundWithTheCommandInAShellThatStays)
{
    TempDir dir;
    // A stand-in terminal that records its arguments.
    wrenfold::testing::write_text_with_mode(
        (dir / "bin/xterm").string(), "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$RECORD\"\n", std::filesystem::perms(0755));
    MapEnvironment environment { { "PATH", (dir / "bin").string() + ":/usr/bin:/bin" },
                                 { "RECORD", (dir / "args").string() } };
    DesktopTerminalLauncher launcher(environment);
    launcher.open({ "claude", "login" });
    for (int i = 0; i < 300 && wrenfold::testing::read_text((dir / "args").string()).empty(); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(wrenfold::testing::read_text((dir / "args").string()),
              "-e\nbash\n-c\n\"$@\"; exec bash -i\nbash\nclaude\nlogin\n");
}

TEST(TerminalLauncher, GnomeTerminalTakesTheCommandAfterADoubleDash)
{
    EXPECT_EQ(terminal_command_line("/usr/bin/gnome-terminal", { "x" })[1], "--");
}

TEST(TerminalLauncher, FailsWhenNoTerminalIsOnThePath)
{
    TempDir dir;
    MapEnvironment bare { { "PATH", (dir / "none").string() } };
    DesktopTerminalLauncher nothing(bare);
    EXPECT_THROW(nothing.open({ "claude", "login" }), PlatformError);
}

TEST(StartDetached, AMissingProgramIsASystemError)
{
    TempDir dir;
    EXPECT_THROW(start_detached({ (dir / "missing").string() }, {}), std::system_error);
}

namespace {

// A status line of the file, e.g. "SigBlk" of /proc/<pid>/status.
std::string status_field(const std::string& status, const std::string& name)
{
    auto at = status.find("\n" + name + ":\t");
    return at == std::string::npos
        ? ""
        : status.substr(at + name.size() + 3, status.find('\n', at + 1) - at - name.size() - 3);
}

void wait_for_file(const std::filesystem::path& file)
{
    for (int i = 0; i < 500 && !std::filesystem::exists(file); ++i)
        std::this_thread::sleep_for(10ms);
}

}  // namespace

TEST(StartDetached, TheTerminalGetsDefaultSignalsAndNoneOfOurDescriptors)
{
    // As in the running program: ending signals blocked in every thread,
    // SIGPIPE ignored, and sockets that do not close on exec.
    sigset_t ending, previous;
    sigemptyset(&ending);
    sigaddset(&ending, SIGINT);
    sigaddset(&ending, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &ending, &previous);
    auto previous_pipe = std::signal(SIGPIPE, SIG_IGN);
    wrenfold::UniqueFd socket(::socket(AF_INET, SOCK_STREAM, 0));

    TempDir dir;
    // cp, unlike a shell, keeps the mask it was started with.
    start_detached({ "/bin/cp", "/proc/self/status", (dir / "status").string() }, {});
    start_detached({ "/bin/sh", "-c",
                     "[ -e /proc/$$/fd/" + std::to_string(socket.get()) + " ] && echo kept > " + (dir / "fd").string() +
                         " || echo closed > " + (dir / "fd").string() },
                   {});
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    std::signal(SIGPIPE, previous_pipe);

    wait_for_file(dir / "status");
    wait_for_file(dir / "fd");
    std::string status = wrenfold::testing::read_text(dir / "status");
    // Ctrl+C must reach a login in that terminal, and a logout must end it.
    EXPECT_EQ(status_field(status, "SigBlk"), "0000000000000000");
    EXPECT_EQ(status_field(status, "SigIgn"), "0000000000000000");
    EXPECT_EQ(wrenfold::testing::read_text(dir / "fd"), "closed\n");
}
