#include "platform/platform_error.h"
#include "platform/terminal_launcher.h"
#include "support/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

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
