#pragma once

#ifdef _WIN32
#include "platform/win32/unique_handle.h"
#endif

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace wrenfold::testing {

// A program started for a test, with its standard output readable line by
// line. It runs with all it starts in a process group (Linux) or a job object
// (Windows) of its own, which is killed when the object goes or when it
// outlives `lifetime`: a program that hangs, or a child of it left behind,
// cannot hold the test run up to its time limit.
class RunningProgram {
public:
    static constexpr std::chrono::seconds kDefaultLifetime { 150 };

    RunningProgram(const std::string& path, const std::vector<std::string>& args,
                   const std::map<std::string, std::string>& environment_changes,
                   std::chrono::seconds lifetime = kDefaultLifetime);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    // The next line of standard output, or nothing when none came in time.
    std::optional<std::string> read_line(std::chrono::milliseconds timeout);
#ifndef _WIN32
    void send_signal(int signal);
#endif
    int pid() const
    {
        return m_pid;
    }
    // The exit status, or nothing when it had not ended in time (or died of a signal: -signal).
    std::optional<int> wait(std::chrono::milliseconds timeout);

private:
    void kill_group_when_overdue(std::chrono::seconds lifetime);
    void kill_group();
    void stop_watchdog_and_kill_group();
    std::optional<std::string> take_buffered_line();

    int m_pid { -1 };
#ifdef _WIN32
    platform::UniqueHandle m_process;
    platform::UniqueHandle m_job;
    platform::UniqueHandle m_stdout;
#else
    int m_stdout { -1 };
#endif
    std::string m_buffer;
    std::mutex m_mutex;  // over the two below, so that no reaped pid is killed
    std::condition_variable m_ended;
    bool m_reaped { false };
    bool m_going { false };
    std::thread m_watchdog;
};

// Where a program started in browser mode serves its page.
struct ProgramAddress {
    int port { 0 };
    std::string token;
};

// Reads lines up to the first that matches `pattern` and answers its groups;
// nothing when no line came within `per_line`. Every line read goes to `seen`.
std::optional<std::vector<std::string>> read_line_matching(RunningProgram& program, const std::regex& pattern,
                                                           std::chrono::milliseconds per_line,
                                                           std::vector<std::string>* seen = nullptr);

// Reads lines up to the one that gives the page's address; nothing when none came.
std::optional<ProgramAddress> read_address(RunningProgram& program, std::chrono::milliseconds per_line,
                                           std::vector<std::string>* seen = nullptr);

struct BridgeResponse {
    int status { 0 };
    std::string body;
};

// POSTs one bridge call with the program's token; nothing when no answer came.
std::optional<BridgeResponse> post_bridge_call(const ProgramAddress& address, const std::string& method,
                                               const std::string& arguments_json, std::chrono::seconds read_timeout);

}  // namespace wrenfold::testing
