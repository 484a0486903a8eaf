#include "support/running_program.h"

#include "core/wide_text.h"
#include "platform/win32/process_launch.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <thread>

namespace wrenfold::testing {

namespace {

bool same_name(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
    });
}

// Ours with the changes made (an empty value removes the variable); Windows
// compares names without case.
std::vector<std::string> merged_environment(const std::map<std::string, std::string>& changes)
{
    std::vector<std::string> variables;
    if (wchar_t* block = ::GetEnvironmentStringsW()) {
        for (const wchar_t* entry = block; *entry; entry += std::wcslen(entry) + 1)
            variables.push_back(from_wide(entry));
        ::FreeEnvironmentStringsW(block);
    }
    for (const auto& [name, value] : changes) {
        std::erase_if(variables, [&](const std::string& entry) {
            // "=C:=C:\..." entries keep the current folder per drive: never a name of ours.
            auto equals = entry.find('=', 1);
            return equals != std::string::npos && same_name(std::string_view(entry).substr(0, equals), name);
        });
        if (!value.empty())
            variables.push_back(name + "=" + value);
    }
    return variables;
}

}  // namespace

RunningProgram::RunningProgram(const std::string& path, const std::vector<std::string>& args,
                               const std::map<std::string, std::string>& environment_changes,
                               std::chrono::seconds lifetime)
{
    platform::ChildPipes pipes = platform::make_child_pipes();
    platform::LaunchRequest request;
    request.argv = { path };
    request.argv.insert(request.argv.end(), args.begin(), args.end());
    request.environment = merged_environment(environment_changes);
    request.creation_flags = CREATE_NO_WINDOW;
    // Its errors go where ours go, as on Linux, so that a failing run says why.
    HANDLE our_errors = ::GetStdHandle(STD_ERROR_HANDLE);
    HANDLE shared = nullptr;
    if (our_errors && our_errors != INVALID_HANDLE_VALUE)
        ::DuplicateHandle(::GetCurrentProcess(), our_errors, ::GetCurrentProcess(), &shared, 0, TRUE,
                          DUPLICATE_SAME_ACCESS);
    platform::UniqueHandle errors(shared);
    request.inherited = { pipes.child_input.get(), pipes.child_output.get(),
                          errors.valid() ? errors.get() : pipes.child_error.get() };
    platform::LaunchedProcess launched = platform::launch_process(request);
    platform::end_job_with_this_process(launched.job.get());
    m_process = std::move(launched.process);
    m_job = std::move(launched.job);
    m_pid = static_cast<int>(launched.id);
    m_stdout = std::move(pipes.our_output);
    m_watchdog = std::thread([this, lifetime] { kill_group_when_overdue(lifetime); });
}

RunningProgram::~RunningProgram()
{
    stop_watchdog_and_kill_group();
    ::WaitForSingleObject(m_process.get(), 10000);
}

// The whole job: the program's own children (its sync worker) go with it.
void RunningProgram::kill_group()
{
    ::TerminateJobObject(m_job.get(), 1);
}

std::optional<std::string> RunningProgram::read_line(std::chrono::milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        if (auto line = take_buffered_line())
            return line;
        // An anonymous pipe has no waiting with a time limit: it is looked at
        // until something came, it closed, or the time is up.
        DWORD available = 0;
        if (!::PeekNamedPipe(m_stdout.get(), nullptr, 0, nullptr, &available, nullptr))
            return std::nullopt;  // closed: the program and all it started are gone
        if (available == 0) {
            if (std::chrono::steady_clock::now() >= deadline)
                return std::nullopt;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        char chunk[4096];
        DWORD got = 0;
        if (!::ReadFile(m_stdout.get(), chunk, std::min<DWORD>(available, sizeof chunk), &got, nullptr) || got == 0)
            return std::nullopt;
        m_buffer.append(chunk, got);
    }
}

std::optional<int> RunningProgram::wait(std::chrono::milliseconds timeout)
{
    if (::WaitForSingleObject(m_process.get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD status = 0;
    ::GetExitCodeProcess(m_process.get(), &status);
    {
        std::lock_guard lock(m_mutex);
        m_reaped = true;
    }
    m_ended.notify_all();
    return static_cast<int>(status);
}

}  // namespace wrenfold::testing
