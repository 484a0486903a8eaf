#include "platform/child_process.h"
#include "platform/terminal_launcher.h"
#include "windows_test_main.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using wrenfold::platform::ChildOptions;
using wrenfold::platform::ChildProcess;

namespace {

std::vector<std::string> self(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), wrenfold::test::this_program());
    return arguments;
}

std::vector<std::string> environment()
{
    char root[MAX_PATH];
    GetEnvironmentVariableA("SystemRoot", root, MAX_PATH);
    return { std::string("SystemRoot=") + root, "PATHEXT=.EXE" };
}

}  // namespace

TEST(WindowsChild, ArgumentsArriveExactlyAsGiven)
{
    std::vector<std::string> words { "plain",       "two words",       "",       "quote\"inside",
                                     "ends with\\", "back\\\\\"slash", "中文 字" };
    auto arguments = self({ "--echo-arguments" });
    arguments.insert(arguments.end(), words.begin(), words.end());
    auto result = ChildProcess::start(arguments, environment())->communicate("", 20s);
    ASSERT_TRUE(result);
    std::string expected;
    for (const auto& word : words)
        expected += "[" + word + "]\n";
    EXPECT_EQ(result->exit_code, 0);
    EXPECT_EQ(result->out, expected);
}

TEST(WindowsChild, EndingTheTreeEndsWhatTheChildStarted)
{
    std::remove(wrenfold::test::announce_file().c_str());  // ids come round again
    auto child = ChildProcess::start(self({ "--start-grandchild", wrenfold::test::announce_file() }), environment());
    // The child writes its grandchild's id to the file, then waits forever.
    auto first = child->communicate("", 300ms);
    EXPECT_FALSE(first);
    // Under Wine a new process may take a moment before it can be opened by its id.
    HANDLE process = nullptr;
    for (int attempt = 0; attempt < 100 && !process; ++attempt) {
        Sleep(100);
        if (DWORD grandchild = wrenfold::test::read_announced_pid())
            process = OpenProcess(SYNCHRONIZE, FALSE, grandchild);
    }
    ASSERT_NE(process, nullptr);
    child->kill_tree();
    EXPECT_EQ(WaitForSingleObject(process, 10000), WAIT_OBJECT_0);
    CloseHandle(process);
    EXPECT_TRUE(child->communicate("", 10s));
    std::remove(wrenfold::test::announce_file().c_str());
}

TEST(WindowsChild, OutputPastTheLimitEndsTheChild)
{
    ChildOptions options;
    options.output_limit = 64 * 1024;
    auto child = ChildProcess::start(self({ "--flood" }), environment(), options);
    EXPECT_THROW(child->communicate("", 20s), wrenfold::platform::ProcessOutputTooLarge);
    EXPECT_TRUE(child->has_exited());
}

TEST(WindowsChild, ArgumentsThatABatchFileWouldReadAsCommandsAreRefused)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    std::string batch = std::string(folder) + "wrenfold-echo.cmd";
    FILE* file = fopen(batch.c_str(), "w");
    ASSERT_NE(file, nullptr);
    fputs("@echo [%1]\r\n", file);
    fclose(file);
    auto result = ChildProcess::start({ batch, "safe & sound" }, environment())->communicate("", 20s);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->out, "[\"safe & sound\"]\r\n");
    EXPECT_THROW(ChildProcess::start({ batch, "100%PATH%" }, environment()), wrenfold::platform::PlatformError);
    remove(batch.c_str());
}
