// The test program, and the children the process tests start: run with one
// of the roles below it plays that child instead of running the tests.
#include "windows_test_main.h"

#include "core/wide_text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <fstream>
#include <string>
#include <vector>

namespace wrenfold::test {

std::string this_program()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return from_wide(std::wstring(path, length));
}

std::string announce_file()
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + "wrenfold-grandchild-" + std::to_string(GetCurrentProcessId());
}

unsigned long read_announced_pid()
{
    unsigned long pid = 0;
    std::ifstream(announce_file()) >> pid;
    return pid;
}

}  // namespace wrenfold::test

namespace {

void write_out(const std::string& bytes)
{
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::vector<std::string> wide_arguments()
{
    int count = 0;
    wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(wrenfold::from_wide(words[i]));
    LocalFree(words);
    return arguments;
}

int start_grandchild(const std::string& announce)
{
    std::wstring line = L"\"" + wrenfold::to_wide(wrenfold::test::this_program()) + L"\" --sleep";
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return 3;
    std::ofstream(announce + ".part") << info.dwProcessId;
    MoveFileExA((announce + ".part").c_str(), announce.c_str(), MOVEFILE_REPLACE_EXISTING);
    Sleep(INFINITE);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    auto arguments = wide_arguments();
    if (arguments.size() > 1 && arguments[1] == "--echo-arguments") {
        for (std::size_t i = 2; i < arguments.size(); ++i)
            write_out("[" + arguments[i] + "]\n");
        return 0;
    }
    if (arguments.size() > 3 && arguments[1] == "--queue-child")
        return wrenfold::test::run_queue_child(arguments[2], arguments[3]);
    if (arguments.size() > 2 && arguments[1] == "--start-grandchild")
        return start_grandchild(arguments[2]);
    if (arguments.size() > 1 && arguments[1] == "--sleep") {
        Sleep(INFINITE);
        return 0;
    }
    if (arguments.size() > 1 && arguments[1] == "--flood") {
        std::string block(1 << 16, 'x');
        while (true)
            write_out(block);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
