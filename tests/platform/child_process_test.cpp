#include "platform/child_process.h"
#include "platform/environment.h"
#include "platform/utf8.h"
#include "support/files.h"
#include "support/temp_dir.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace wrenfold::platform;
using wrenfold::testing::TempDir;

using namespace std::chrono_literals;

namespace {

std::vector<std::string> plain_environment()
{
    return { "PATH=/usr/bin:/bin", "LC_ALL=C" };
}

// A zombie (killed, not yet reaped by init) counts as gone.
bool process_alive(pid_t pid)
{
    std::string stat = wrenfold::testing::read_text("/proc/" + std::to_string(pid) + "/stat");
    auto state = stat.rfind(')');
    return state != std::string::npos && state + 2 < stat.size() && stat[state + 2] != 'Z';
}

}  // namespace

TEST(ChildProcess, FeedsInputAndCollectsBothOutputsAndTheExitCode)
{
    auto child = ChildProcess::start({ "sh", "-c", "cat; echo oops >&2; exit 3" }, plain_environment());
    std::string big(300000, 'x');  // larger than a pipe buffer: writing and reading must interleave
    auto result = child->communicate(big + "\n天氣", 10s);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->exit_code, 3);
    EXPECT_EQ(result->out, big + "\n天氣");
    EXPECT_EQ(result->err, "oops\n");
}

TEST(ChildProcess, ReplacesBytesThatAreNotUtf8)
{
    auto child = ChildProcess::start({ "printf", "a\\377b\\342\\202" }, plain_environment());
    auto result = child->communicate({}, 10s);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->out,
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(DecodeUtf8Replacing, AnEncodedSurrogateIsReplacedByteByByte)
{
    EXPECT_EQ(decode_utf8_replacing("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(DecodeUtf8Replacing, KeepsAValidFourByteSequence)
{
    EXPECT_EQ(decode_utf8_replacing("\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80");
}

TEST(ChildProcess, ATimeOutLeavesTheChildAndKillTreeEndsItsWholeGroup)
{
    TempDir dir;
    // The grandchild holds the pipes open as well; only ending the group frees them.
    auto child = ChildProcess::start({ "sh", "-c", "sleep 60 & echo $! > " + (dir / "grandchild").string() + "; wait" },
                                     plain_environment());
    EXPECT_FALSE(child->communicate({}, 300ms));
    pid_t grandchild = std::stoi(wrenfold::testing::read_text((dir / "grandchild").string()));
    EXPECT_TRUE(process_alive(grandchild));

    child->kill_tree();
    auto result = child->communicate({}, 5s);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->exit_code, -SIGKILL);
    for (int i = 0; i < 200 && process_alive(grandchild); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(process_alive(grandchild));
}

TEST(ChildProcess, AnotherThreadCanEndAChildWhileItsOwnerWaits)
{
    auto child = ChildProcess::start({ "sleep", "60" }, plain_environment());
    std::thread killer([&] {
        std::this_thread::sleep_for(100ms);
        child->kill_tree();
    });
    auto started = std::chrono::steady_clock::now();
    auto result = child->communicate("ignored", 30s);
    killer.join();
    ASSERT_TRUE(result);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    EXPECT_TRUE(child->has_exited());
    child->kill_tree();  // after the reap this must not signal anyone
}

// The highest resident size since the last reset of the mark.
long peak_resident_kb()
{
    std::string status = wrenfold::testing::read_text("/proc/self/status");
    auto at = status.find("VmHWM:");
    return at == std::string::npos ? -1 : std::stol(status.substr(at + 6));
}

TEST(ChildProcess, AChildPrintingPastItsLimitIsEndedWithoutFillingOurMemory)
{
    for (const char* stream : { "", ">&2" }) {
        {
            std::ofstream reset("/proc/self/clear_refs");
            reset << "5";  // restarts the peak mark
        }
        long before = peak_resident_kb();
        ChildOptions options;
        options.output_limit = 4 * 1024 * 1024;
        auto child = ChildProcess::start({ "sh", "-c", std::string("head -c 1000000000 /dev/zero ") + stream },
                                         plain_environment(), options);
        EXPECT_THROW(child->communicate({}, 60s), ProcessOutputTooLarge) << stream;
        EXPECT_TRUE(child->has_exited());
        EXPECT_LT(peak_resident_kb() - before, 64 * 1024) << stream;
    }
}

TEST(ChildProcess, StartsInTheFolderItIsGivenAndReportsOneThatIsMissing)
{
    TempDir dir;
    auto child = ChildProcess::start({ "pwd" }, plain_environment(), { .working_directory = dir.path() });
    auto result = child->communicate({}, 10s);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->out, std::filesystem::canonical(dir.path()).string() + "\n");
    EXPECT_THROW(ChildProcess::start({ "pwd" }, plain_environment(), { .working_directory = dir / "missing" }),
                 std::system_error);
}

TEST(ChildProcess, AChildThatEndsWithItsStarterDiesWhenTheStarterIsKilled)
{
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    pid_t starter = ::fork();
    ASSERT_GE(starter, 0);
    if (starter == 0) {
        ChildOptions options;
        options.end_with_starter = true;
        auto child = ChildProcess::start({ "sleep", "60" }, plain_environment(), options);
        pid_t pid = child->pid();
        [[maybe_unused]] auto ignored = ::write(report[1], &pid, sizeof pid);
        ::pause();
        ::_exit(0);
    }
    ::close(report[1]);
    pid_t child = -1;
    ASSERT_EQ(::read(report[0], &child, sizeof child), static_cast<ssize_t>(sizeof child));
    ::close(report[0]);
    EXPECT_TRUE(process_alive(child));
    ::kill(starter, SIGKILL);
    ::waitpid(starter, nullptr, 0);
    for (int i = 0; i < 500 && process_alive(child); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(process_alive(child));
}

TEST(ChildProcess, AProgramThatCannotBeFoundIsASystemError)
{
    EXPECT_THROW(ChildProcess::start({ "/nonexistent/claude" }, plain_environment()), std::system_error);
    EXPECT_THROW(ChildProcess::start({ "no-such-program-here" }, plain_environment()), std::system_error);
}

TEST(ChildProcess, AnEmptyCommandIsAnInvalidArgument)
{
    EXPECT_THROW(ChildProcess::start({}, plain_environment()), std::invalid_argument);
}

TEST(ChildProcess, SurvivesAChildThatIgnoresItsInput)
{
    auto child = ChildProcess::start({ "true" }, plain_environment());
    auto result = child->communicate(std::string(1 << 20, 'y'), 10s);  // the reader is gone: EPIPE, not SIGPIPE
    ASSERT_TRUE(result);
    EXPECT_EQ(result->exit_code, 0);
}

TEST(ChildProcess, KeepsOnlyItsThreeStreamsOfOurDescriptors)
{
    // The browser host's sockets are opened without close-on-exec; a chat
    // turn that kept one would hold the port and the page's connection.
    wrenfold::UniqueFd socket(::socket(AF_INET, SOCK_STREAM, 0));
    ASSERT_TRUE(socket.valid());
    std::string fd = std::to_string(socket.get());
    auto result = run_process({ "sh", "-c", "[ -e /proc/$$/fd/" + fd + " ] && echo kept || echo closed; echo in >&2" },
                              plain_environment(), 10s);
    EXPECT_EQ(result.out, "closed\n");
    EXPECT_EQ(result.err, "in\n");
}

TEST(RunProcess, ThrowsOnTimeOut)
{
    EXPECT_THROW(run_process({ "sleep", "30" }, plain_environment(), 200ms), ProcessTimeout);
}

TEST(RunProcess, PassesTheEnvironment)
{
    auto result = run_process({ "sh", "-c", "printf %s \"$WRENFOLD_PROBE\"" },
                              { "PATH=/usr/bin:/bin", "WRENFOLD_PROBE=seen" }, 10s);
    EXPECT_EQ(result.out, "seen");
}
