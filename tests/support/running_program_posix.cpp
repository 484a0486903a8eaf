#include "support/running_program.h"

#include "platform/exec_arguments.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace wrenfold::testing {

namespace {

std::vector<std::string> merged_environment(const std::map<std::string, std::string>& changes)
{
    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        std::string text = *entry;
        auto equals = text.find('=');
        if (equals != std::string::npos)
            variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    for (const auto& [name, value] : changes) {
        if (value.empty())
            variables.erase(name);
        else
            variables[name] = value;
    }
    std::vector<std::string> result;
    for (const auto& [name, value] : variables)
        result.push_back(name + "=" + value);
    return result;
}

}  // namespace

RunningProgram::RunningProgram(const std::string& path, const std::vector<std::string>& args,
                               const std::map<std::string, std::string>& environment_changes,
                               std::chrono::seconds lifetime)
{
    int pipe_ends[2];
    if (::pipe2(pipe_ends, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDOUT_FILENO);

    std::vector<std::string> argv_text { path };
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv = platform::c_strings(argv_text);
    std::vector<std::string> env_text = merged_environment(environment_changes);
    std::vector<char*> envp = platform::c_strings(env_text);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    int spawned = ::posix_spawn(&m_pid, path.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe_ends[1]);
    m_stdout = pipe_ends[0];
    if (spawned != 0) {
        ::close(m_stdout);
        throw std::runtime_error("cannot start " + path);
    }
    m_watchdog = std::thread([this, lifetime] { kill_group_when_overdue(lifetime); });
}

RunningProgram::~RunningProgram()
{
    stop_watchdog_and_kill_group();
    if (!m_reaped)
        ::waitpid(m_pid, nullptr, 0);
    ::close(m_stdout);
}

// The whole group: the program's own children go with it.
void RunningProgram::kill_group()
{
    ::kill(-m_pid, SIGKILL);
}

std::optional<std::string> RunningProgram::read_line(std::chrono::milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        if (auto line = take_buffered_line())
            return line;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pollfd waiting { m_stdout, POLLIN, 0 };
        if (::poll(&waiting, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char chunk[4096];
        ssize_t got = ::read(m_stdout, chunk, sizeof chunk);
        if (got <= 0)
            return std::nullopt;
        m_buffer.append(chunk, static_cast<std::size_t>(got));
    }
}

void RunningProgram::send_signal(int signal)
{
    ::kill(m_pid, signal);
}

std::optional<int> RunningProgram::wait(std::chrono::milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        std::unique_lock lock(m_mutex);
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_reaped = true;
            lock.unlock();
            m_ended.notify_all();
            return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        }
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
}

}  // namespace wrenfold::testing
