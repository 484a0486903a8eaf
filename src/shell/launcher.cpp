// The launcher process: owns the two children and the descriptors of the
// shared mappings, and nothing else. It stays single-threaded, so forking
// from it is safe.
#include "shell/launcher.h"

#include "core/log.h"
#include "platform/end_signals.h"
#include "sync/worker_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>

namespace wrenfold {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kRestartSpacing = 60s;
constexpr auto kWorkerGrace = 3s;        // after the application ended
constexpr auto kApplicationGrace = 15s;  // after an ending signal was passed on

sigset_t launcher_signals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGCHLD);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

// In a new child: the children keep SIGINT and SIGTERM blocked (they take
// them with sigwait) but not SIGCHLD, and end with the launcher.
void prepare_child(pid_t launcher)
{
    sigset_t chld;
    sigemptyset(&chld);
    sigaddset(&chld, SIGCHLD);
    ::sigprocmask(SIG_UNBLOCK, &chld, nullptr);
    ::signal(SIGCHLD, SIG_DFL);
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != launcher)
        ::_exit(1);
}

int exit_status_of(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return 1;
}

std::string describe_end(int status)
{
    if (WIFSIGNALED(status))
        return "was killed by signal " + std::to_string(WTERMSIG(status));
    return "exited with status " + std::to_string(exit_status_of(status));
}

class Launcher {
public:
    explicit Launcher(const ApplicationEntry& application)
        : m_application(application)
    {
    }

    int run()
    {
        platform::route_signals_to_main_thread({ SIGCHLD });
        sigset_t signals = launcher_signals();
        ::sigprocmask(SIG_BLOCK, &signals, nullptr);
        m_signals = UniqueFd(::signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK));
        if (!m_signals.valid())
            throw std::runtime_error("the launcher cannot watch its children");
        std::tie(m_receipt_read, m_receipt_write) = platform::make_queue_pipe();
        std::tie(m_end_read, m_end_write) = platform::make_queue_pipe();
        m_event = platform::make_event_fd();
        std::error_code unknown;
        m_program = std::filesystem::read_symlink("/proc/self/exe", unknown);

        start_application();
        start_worker();
        while (!finished())
            wait_and_handle();
        return *m_application_status;
    }

private:
    void start_application()
    {
        pid_t launcher = ::getpid();
        std::fflush(stdout);
        m_application_pid = ::fork();
        if (m_application_pid < 0)
            throw std::runtime_error("the application process cannot be started");
        if (m_application_pid > 0)
            return;
        prepare_child(launcher);
        m_signals.reset();
        m_end_read.reset();
        auto receipt = std::make_shared<platform::PipeQueue>(std::move(m_receipt_read), std::move(m_receipt_write));
        auto end_queue = std::make_shared<platform::PipeQueue>(UniqueFd(), std::move(m_end_write));
        auto end_event = std::make_shared<platform::EventFdEvent>(std::move(m_event));
        int status = m_application({ { "get_receipt", receipt }, { "end", end_queue } }, { { "end", end_event } });
        std::exit(status);
    }

    void start_worker()
    {
        pid_t launcher = ::getpid();
        std::fflush(stdout);
        pid_t pid = ::fork();
        if (pid < 0) {
            log_line("[sync]", "the sync worker cannot be started");
            return;
        }
        if (pid > 0) {
            m_worker_pid = pid;
            return;
        }
        prepare_child(launcher);
        sync::WorkerHandoff handoff { m_event.get(), m_end_read.get(), m_receipt_write.get() };
        for (int fd : { handoff.end_event, handoff.end_queue, handoff.receipt_queue })
            ::fcntl(fd, F_SETFD, 0);
        ::setenv(sync::kWorkerMarker, sync::handoff_text(handoff).c_str(), 1);
        if (m_last_restart)
            ::setenv(sync::kWorkerRestartMarker, "1", 1);
        char name[] = "wrenfold";
        char* argv[] = { name, nullptr };
        // By its path, so that the worker is listed under the program's name;
        // /proc/self/exe still works when the file was replaced meanwhile.
        ::execv(m_program.c_str(), argv);
        ::execv("/proc/self/exe", argv);
        ::_exit(127);
    }

    bool finished() const { return m_application_status && m_worker_pid < 0; }

    void wait_and_handle()
    {
        pollfd waiting { m_signals.get(), POLLIN, 0 };
        ::poll(&waiting, 1, poll_timeout_ms());
        signalfd_siginfo info {};
        while (::read(m_signals.get(), &info, sizeof info) == sizeof info) {
            if (info.ssi_signo == SIGCHLD)
                reap_children();
            else
                pass_on_ending_signal(static_cast<int>(info.ssi_signo));
        }
        act_on_deadlines();
    }

    int poll_timeout_ms() const
    {
        std::optional<Clock::time_point> next;
        for (const auto& deadline : { m_restart_at, m_worker_kill_at, m_application_kill_at }) {
            if (deadline && (!next || *deadline < *next))
                next = deadline;
        }
        if (!next)
            return -1;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*next - Clock::now()).count();
        return static_cast<int>(std::clamp<long long>(left + 1, 0, 60'000));
    }

    void reap_children()
    {
        int status = 0;
        pid_t pid;
        while ((pid = ::waitpid(-1, &status, WNOHANG)) > 0) {
            if (pid == m_application_pid)
                application_ended(status);
            else if (pid == m_worker_pid)
                worker_ended(status);
        }
    }

    void application_ended(int status)
    {
        m_application_pid = -1;
        m_application_status = exit_status_of(status);
        m_application_kill_at.reset();
        m_restart_at.reset();
        // A killed application gave no end signals of its own: give them.
        try {
            platform::EventFdEvent(UniqueFd(::dup(m_event.get()))).set();
            platform::PipeQueue(UniqueFd(), UniqueFd(::dup(m_end_write.get()))).put_nowait(nullptr);
        } catch (...) {
            // The worker is killed after its grace period anyway.
        }
        if (m_worker_pid > 0)
            m_worker_kill_at = Clock::now() + kWorkerGrace;
    }

    void worker_ended(int status)
    {
        m_worker_pid = -1;
        m_worker_kill_at.reset();
        if (m_application_status || m_ending)
            return;
        log_line("[sync]", "the sync worker " + describe_end(status) + "; it will be started again");
        auto now = Clock::now();
        m_restart_at = m_last_restart ? std::max(now, *m_last_restart + kRestartSpacing) : now;
    }

    void pass_on_ending_signal(int signal)
    {
        m_ending = true;
        m_restart_at.reset();
        if (m_application_pid > 0) {
            ::kill(m_application_pid, signal);
            if (!m_application_kill_at)
                m_application_kill_at = Clock::now() + kApplicationGrace;
        }
    }

    void act_on_deadlines()
    {
        auto now = Clock::now();
        if (m_restart_at && now >= *m_restart_at) {
            m_restart_at.reset();
            m_last_restart = now;
            start_worker();
        }
        if (m_worker_kill_at && now >= *m_worker_kill_at && m_worker_pid > 0) {
            m_worker_kill_at.reset();
            ::kill(m_worker_pid, SIGKILL);
        }
        if (m_application_kill_at && now >= *m_application_kill_at && m_application_pid > 0) {
            m_application_kill_at.reset();
            ::kill(m_application_pid, SIGKILL);
        }
    }

    const ApplicationEntry& m_application;
    std::filesystem::path m_program;
    UniqueFd m_signals;
    UniqueFd m_receipt_read, m_receipt_write, m_end_read, m_end_write, m_event;
    pid_t m_application_pid { -1 };
    pid_t m_worker_pid { -1 };
    std::optional<int> m_application_status;
    bool m_ending { false };
    std::optional<Clock::time_point> m_last_restart;
    std::optional<Clock::time_point> m_restart_at;
    std::optional<Clock::time_point> m_worker_kill_at;
    std::optional<Clock::time_point> m_application_kill_at;
};

}  // namespace

int run_launcher(const ApplicationEntry& application)
{
    return Launcher(application).run();
}

}  // namespace wrenfold
