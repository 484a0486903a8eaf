#pragma once

#include "core/unique_fd.h"
#include "platform/platform_error.h"
#ifdef _WIN32
#include "platform/win32/unique_handle.h"
#endif

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace wrenfold::platform {

struct ProcessResult {
    int exit_code { 0 };  // the exit status, or minus the signal that ended the child
    std::string out;      // standard output, decoded as UTF-8 with replacement
    std::string err;      // standard error, likewise
};

class ProcessTimeout : public PlatformError {
public:
    using PlatformError::PlatformError;
};

// A child printed more than its output limit; it has been ended.
class ProcessOutputTooLarge : public PlatformError {
public:
    using PlatformError::PlatformError;
};

struct ChildOptions {
    // How much of each of standard output and error is kept. A child that
    // prints more is ended, so that a runaway cannot fill our memory.
    static constexpr std::size_t kDefaultOutputLimit = 8 * 1024 * 1024;
    std::size_t output_limit { kDefaultOutputLimit };
    // The child's working folder; empty keeps ours.
    std::filesystem::path working_directory;
    // The child is killed when the thread that started it ends, which covers
    // our own death by SIGKILL. Only for children whose starting thread waits
    // for them (it is the thread, not the process, that the kernel watches).
    bool end_with_starter { false };
};

// One child process started from an argument vector (no shell), with pipes on
// its three standard streams, in a process group of its own so that the
// whole tree it starts can be ended together. The owner talks to it with
// communicate(); any other thread may end it with kill_tree() at any time.
class ChildProcess {
public:
    // argv[0] is a path, or a bare name looked up on the PATH of environment.
    // Throws std::system_error (or std::invalid_argument for an empty argv)
    // when the child cannot be started.
    static std::shared_ptr<ChildProcess> start(const std::vector<std::string>& argv,
                                               const std::vector<std::string>& environment,
                                               const ChildOptions& options = {});

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // Kills a child that is still running and reaps it.
    ~ChildProcess();

    pid_t pid() const { return m_pid; }

    // Writes input to the child's standard input and closes it, reads both
    // outputs to their ends and reaps the child, all within timeout. Returns
    // nothing when the time ran out first; the child is then still there and
    // a later call (after kill_tree) collects what is left. Throws
    // ProcessOutputTooLarge, with the child ended and reaped, when either
    // output passes the limit. Owner thread only.
    std::optional<ProcessResult> communicate(std::string_view input, std::chrono::milliseconds timeout);

    // Ends the child's whole process group; harmless once it has been reaped.
    void kill_tree();
    bool has_exited();

private:
    ChildProcess() = default;
    bool try_reap();
    void end_for_too_much_output();

    pid_t m_pid { -1 };
#ifdef _WIN32
    struct Streams;  // the child's pipes and the threads that drain them
    std::shared_ptr<Streams> m_streams;
    UniqueHandle m_process;
    UniqueHandle m_job;  // the child and everything it starts
#else
    UniqueFd m_stdin;
    UniqueFd m_stdout;
    UniqueFd m_stderr;
    std::string m_out_bytes;
    std::string m_err_bytes;
#endif
    std::size_t m_output_limit { ChildOptions::kDefaultOutputLimit };

    std::mutex m_lock;  // guards the reaping against kill_tree from other threads
    bool m_reaped { false };
    int m_exit_code { 0 };
};

// Starts argv, feeds it no input and waits at most timeout for it. On expiry
// the tree is killed, given two seconds to go, and ProcessTimeout is thrown.
ProcessResult run_process(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                          std::chrono::milliseconds timeout);

}  // namespace wrenfold::platform
