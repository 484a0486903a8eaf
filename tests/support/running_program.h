#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace wrenfold::testing {

// A program started for a test, with its standard output readable line by
// line. Killed (SIGKILL) if still running when the object goes.
class RunningProgram {
public:
    RunningProgram(const std::string& path, const std::vector<std::string>& args,
                   const std::map<std::string, std::string>& environment_changes);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    // The next line of standard output, or nothing when none came in time.
    std::optional<std::string> read_line(std::chrono::milliseconds timeout);
    void send_signal(int signal);
    int pid() const { return m_pid; }
    // The exit status, or nothing when it had not ended in time (or died of a signal: -signal).
    std::optional<int> wait(std::chrono::milliseconds timeout);

private:
    int m_pid { -1 };
    int m_stdout { -1 };
    std::string m_buffer;
    bool m_reaped { false };
};

}  // namespace wrenfold::testing
