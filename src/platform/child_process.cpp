#include "platform/child_process.h"

#include "platform/command_lookup.h"
#include "platform/exec_arguments.h"
#include "platform/utf8.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>

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

class SpawnAttributes {
public:
    SpawnAttributes()
    {
        posix_spawnattr_init(&m_attr);
        posix_spawn_file_actions_init(&m_actions);
    }
    ~SpawnAttributes()
    {
        posix_spawnattr_destroy(&m_attr);
        posix_spawn_file_actions_destroy(&m_actions);
    }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;

    posix_spawnattr_t m_attr;
    posix_spawn_file_actions_t m_actions;
};

}  // namespace

std::shared_ptr<ChildProcess> ChildProcess::start(const std::vector<std::string>& argv,
                                                  const std::vector<std::string>& environment)
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

    SpawnAttributes spawn;
    posix_spawn_file_actions_adddup2(&spawn.m_actions, in_read.get(), 0);
    posix_spawn_file_actions_adddup2(&spawn.m_actions, out_write.get(), 1);
    posix_spawn_file_actions_adddup2(&spawn.m_actions, err_write.get(), 2);
    // Not every descriptor of ours closes on exec (the browser host's sockets
    // do not): a child that kept one would hold the port and the page's
    // connections open for as long as it runs.
    posix_spawn_file_actions_addclosefrom_np(&spawn.m_actions, 3);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setflags(&spawn.m_attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&spawn.m_attr, 0);
    posix_spawnattr_setsigmask(&spawn.m_attr, &none);
    posix_spawnattr_setsigdefault(&spawn.m_attr, &all);

    auto args = c_strings(argv);
    auto env = c_strings(environment);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, program.c_str(), &spawn.m_actions, &spawn.m_attr, args.data(), env.data());
    if (rc != 0)
        throw std::system_error(rc, std::generic_category(), program);

    std::shared_ptr<ChildProcess> child(new ChildProcess());
    child->m_pid = pid;
    child->m_stdin = std::move(in_write);
    child->m_stdout = std::move(out_read);
    child->m_stderr = std::move(err_read);
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

ProcessResult run_process(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                          std::chrono::milliseconds timeout)
{
    auto child = ChildProcess::start(argv, environment);
    if (auto result = child->communicate({}, timeout))
        return *result;
    child->kill_tree();
    (void)child->communicate({}, std::chrono::seconds(2));
    throw ProcessTimeout("timed out after " + std::to_string(timeout.count() / 1000) + " seconds");
}

}  // namespace wrenfold::platform
