#include "platform/child_process.h"

#include "platform/command_lookup.h"
#include "platform/exec_arguments.h"
#include "platform/utf8.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace wrenfold::platform {

namespace {

using Clock = std::chrono::steady_clock;

std::system_error os_error(const char* what)
{
    return std::system_error(errno, std::generic_category(), what);
}

std::pair<UniqueFd, UniqueFd> make_pipe()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw os_error("pipe");
    return { UniqueFd(fds[0]), UniqueFd(fds[1]) };
}

void set_nonblocking(int fd)
{
    int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

std::string path_of(const std::vector<std::string>& environment)
{
    for (const auto& entry : environment) {
        if (entry.rfind("PATH=", 0) == 0)
            return entry.substr(5);
    }
    return "";
}

// Writing into a pipe whose reader has gone raises SIGPIPE, which would end
// the whole program. Block it on this thread for the write and swallow one
// that became pending, so that only EPIPE reaches us.
ssize_t write_without_sigpipe(int fd, const char* data, std::size_t size)
{
    sigset_t pipe_only, previous;
    sigemptyset(&pipe_only);
    sigaddset(&pipe_only, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_only, &previous);
    ssize_t written = ::write(fd, data, size);
    int saved = errno;
    if (written < 0 && saved == EPIPE) {
        timespec zero {};
        sigtimedwait(&pipe_only, nullptr, &zero);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = saved;
    return written;
}

// Everything the forked child needs, prepared before the fork: after it,
// only async-signal-safe calls are allowed.
struct ForkPlan {
    const char* program;
    std::vector<char*> args;
    std::vector<char*> env;
    int streams[3];                 // become the child's 0, 1 and 2
    int report;                     // write end of the pipe that carries a failed exec's errno
    const char* working_directory;  // nullptr: stay where we are
    bool end_with_starter;
    pid_t parent;
};

[[noreturn]] void fail_in_child(int report)
{
    int error = errno;
    [[maybe_unused]] auto ignored = ::write(report, &error, sizeof error);
    ::_exit(127);
}

[[noreturn]] void become_child(const ForkPlan& plan)
{
    if (plan.end_with_starter) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != plan.parent)
            ::_exit(127);  // the parent died before the death signal was armed
    }
    ::setpgid(0, 0);
    struct sigaction default_action { };
    default_action.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal)
        ::sigaction(signal, &default_action, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int target = 0; target < 3; ++target) {
        // dup2 onto itself would keep close-on-exec set.
        if (plan.streams[target] == target ? ::fcntl(target, F_SETFD, 0) != 0
                                           : ::dup2(plan.streams[target], target) < 0)
            fail_in_child(plan.report);
    }
    if (plan.working_directory && ::chdir(plan.working_directory) != 0)
        fail_in_child(plan.report);
    // Not every descriptor of ours closes on exec (the browser host's sockets
    // do not): a child that kept one would hold the port and the page's
    // connections open for as long as it runs.
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
    ::execve(plan.program, plan.args.data(), plan.env.data());
    fail_in_child(plan.report);
}

}  // namespace

std::shared_ptr<ChildProcess> ChildProcess::start(const std::vector<std::string>& argv,
                                                  const std::vector<std::string>& environment,
                                                  const ChildOptions& options)
{
    if (argv.empty() || argv.front().empty())
        throw std::invalid_argument("empty command line");
    std::string program = argv.front();
    if (program.find('/') == std::string::npos) {
        auto found = find_on_search_path(program, path_of(environment));
        if (!found)
            throw std::system_error(ENOENT, std::generic_category(), program);
        program = *found;
    }

    auto [in_read, in_write] = make_pipe();
    auto [out_read, out_write] = make_pipe();
    auto [err_read, err_write] = make_pipe();
    auto [report_read, report_write] = make_pipe();
    std::string working_directory = options.working_directory.string();

    ForkPlan plan { program.c_str(),          c_strings(argv),
                    c_strings(environment),   { in_read.get(), out_write.get(), err_write.get() },
                    report_write.get(),       working_directory.empty() ? nullptr : working_directory.c_str(),
                    options.end_with_starter, ::getpid() };
    pid_t pid = ::fork();
    if (pid < 0)
        throw os_error("fork");
    if (pid == 0)
        become_child(plan);
    ::setpgid(pid, pid);  // also here, so that a kill_tree right away finds the group
    report_write.reset();

    // The report pipe closes on a successful exec; an error number arrives otherwise.
    int error = 0;
    ssize_t got;
    while ((got = ::read(report_read.get(), &error, sizeof error)) < 0 && errno == EINTR) { }
    if (got == sizeof error) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
        throw std::system_error(error, std::generic_category(), program);
    }

    std::shared_ptr<ChildProcess> child(new ChildProcess());
    child->m_pid = pid;
    child->m_stdin = std::move(in_write);
    child->m_stdout = std::move(out_read);
    child->m_stderr = std::move(err_read);
    child->m_output_limit = options.output_limit;
    set_nonblocking(child->m_stdin.get());
    set_nonblocking(child->m_stdout.get());
    set_nonblocking(child->m_stderr.get());
    return child;
}

ChildProcess::~ChildProcess()
{
    kill_tree();
    auto give_up = Clock::now() + std::chrono::seconds(5);
    while (!try_reap() && Clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

bool ChildProcess::try_reap()
{
    std::lock_guard guard(m_lock);
    if (m_reaped)
        return true;
    int status = 0;
    pid_t rc = ::waitpid(m_pid, &status, WNOHANG);
    if (rc == m_pid) {
        m_reaped = true;
        m_exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    } else if (rc < 0 && errno == ECHILD) {
        m_reaped = true;  // someone else reaped it; nothing more to learn
        m_exit_code = -1;
    }
    return m_reaped;
}

bool ChildProcess::has_exited()
{
    return try_reap();
}

void ChildProcess::kill_tree()
{
    std::lock_guard guard(m_lock);
    if (m_reaped)
        return;  // its group id may belong to someone else by now
    ::killpg(m_pid, SIGKILL);
}

std::optional<ProcessResult> ChildProcess::communicate(std::string_view input, std::chrono::milliseconds timeout)
{
    auto deadline = Clock::now() + timeout;
    std::size_t written = 0;
    if (input.empty())
        m_stdin.reset();

    char buffer[65536];
    while (m_stdin.valid() || m_stdout.valid() || m_stderr.valid()) {
        auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (remaining.count() <= 0)
            return std::nullopt;
        pollfd fds[3] = {
            { m_stdin.get(), POLLOUT, 0 },
            { m_stdout.get(), POLLIN, 0 },
            { m_stderr.get(), POLLIN, 0 },
        };
        int ready = ::poll(fds, 3, static_cast<int>(remaining.count()));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            throw os_error("poll");
        }
        if (m_stdin.valid() && fds[0].revents) {
            ssize_t n = write_without_sigpipe(m_stdin.get(), input.data() + written, input.size() - written);
            if (n > 0)
                written += static_cast<std::size_t>(n);
            if ((n < 0 && errno != EAGAIN && errno != EINTR) || written == input.size())
                m_stdin.reset();  // done, or the child stopped reading
        }
        UniqueFd* outputs[2] = { &m_stdout, &m_stderr };
        std::string* sinks[2] = { &m_out_bytes, &m_err_bytes };
        for (int i = 0; i < 2; ++i) {
            if (!outputs[i]->valid() || !fds[i + 1].revents)
                continue;
            ssize_t n = ::read(outputs[i]->get(), buffer, sizeof buffer);
            if (n > 0 && sinks[i]->size() + static_cast<std::size_t>(n) > m_output_limit)
                end_for_too_much_output();
            if (n > 0)
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            else if (n == 0 || (errno != EAGAIN && errno != EINTR))
                outputs[i]->reset();
        }
    }
    while (!try_reap()) {
        if (Clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::lock_guard guard(m_lock);
    return ProcessResult { m_exit_code, decode_utf8_replacing(m_out_bytes), decode_utf8_replacing(m_err_bytes) };
}

void ChildProcess::end_for_too_much_output()
{
    kill_tree();
    m_stdin.reset();
    m_stdout.reset();
    m_stderr.reset();
    m_out_bytes.clear();
    m_err_bytes.clear();
    auto give_up = Clock::now() + std::chrono::seconds(2);
    while (!try_reap() && Clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    throw ProcessOutputTooLarge("the output passed " + std::to_string(m_output_limit / (1024 * 1024)) + " MB");
}

}  // namespace wrenfold::platform
