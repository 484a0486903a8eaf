#include "platform/terminal_launcher.h"

#include "core/unique_fd.h"
#include "platform/command_lookup.h"
#include "platform/exec_arguments.h"
#include "platform/platform_error.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdexcept>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

namespace wrenfold::platform {

namespace {

std::string basename_of(const std::string& path)
{
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::vector<std::string> terminal_command_line(const std::string& terminal, const std::vector<std::string>& command)
{
    // "$@" runs the command exactly as given (no quoting of ours); the shell
    // that follows keeps the window open afterwards.
    std::vector<std::string> line {
        terminal, basename_of(terminal) == "gnome-terminal" ? "--" : "-e", "bash", "-c", "\"$@\"; exec bash -i", "bash"
    };
    line.insert(line.end(), command.begin(), command.end());
    return line;
}

void DesktopTerminalLauncher::open(const std::vector<std::string>& command)
{
    std::string search_path = m_environment.get_or_empty("PATH");
    for (const char* name : { "x-terminal-emulator", "gnome-terminal", "konsole", "xterm" }) {
        if (auto terminal = find_on_search_path(name, search_path)) {
            start_detached(terminal_command_line(*terminal, command), m_environment.snapshot());
            return;
        }
    }
    throw PlatformError("no terminal emulator found (x-terminal-emulator, gnome-terminal, konsole, xterm)");
}

void start_detached(const std::vector<std::string>& argv, const std::vector<std::string>& environment)
{
    if (argv.empty())
        throw std::invalid_argument("empty command line");
    // Everything the forked children use is prepared before the fork: after
    // it, only async-signal-safe calls are allowed.
    auto args = c_strings(argv);
    auto env = c_strings(environment);
    sigset_t no_signals;
    sigemptyset(&no_signals);
    struct sigaction default_action { };
    default_action.sa_handler = SIG_DFL;
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        throw std::system_error(errno, std::generic_category(), "pipe");
    UniqueFd report_read(report[0]);
    UniqueFd report_write(report[1]);

    pid_t middle = ::fork();
    if (middle < 0)
        throw std::system_error(errno, std::generic_category(), "fork");
    if (middle == 0) {
        ::setsid();
        pid_t grandchild = ::fork();
        if (grandchild == 0) {
            // The terminal outlives us: it gets the signals a desktop start
            // gives (Ctrl+C and a logout must reach it) and none of our
            // descriptors; the report pipe already closes on exec.
            for (int signal = 1; signal < NSIG; ++signal)
                ::sigaction(signal, &default_action, nullptr);
            ::sigprocmask(SIG_SETMASK, &no_signals, nullptr);
            ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
            ::execve(args[0], args.data(), env.data());
            int error = errno;
            [[maybe_unused]] auto ignored = ::write(report[1], &error, sizeof error);
            ::_exit(127);
        }
        ::_exit(grandchild < 0 ? 1 : 0);
    }
    report_write.reset();
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) { }

    // The report pipe closes on a successful exec; an error number arrives otherwise.
    pollfd fd { report_read.get(), POLLIN, 0 };
    int error = 0;
    if (::poll(&fd, 1, 5000) > 0 && ::read(report_read.get(), &error, sizeof error) == sizeof error)
        throw std::system_error(error, std::generic_category(), argv[0]);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw PlatformError("could not start " + argv[0]);
}

}  // namespace wrenfold::platform
