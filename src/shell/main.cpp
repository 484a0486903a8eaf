// wrenfold [--browser] [--port N] [--no-open] [--help] [--version]
#include "shell/entry.h"
#include "shell/command_line.h"
#include "shell/one_instance.h"

#include <csignal>
#include <iostream>

int main(int argc, char** argv)
{
    // Ending signals are taken by the main loop with sigwait; threads started
    // later inherit this mask. A closed browser connection must not kill us.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    wrenfold::LaunchOptions options;
    try {
        options = wrenfold::parse_command_line(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << "wrenfold: " << error.what() << "\n" << wrenfold::usage_text();
        return 2;
    }
    // --help, --version, and a start that only brings the running one forward.
    if (auto status = wrenfold::finish_before_start(options))
        return *status;
    try {
        wrenfold::GUI({}, {}, options);
    } catch (...) {
        return 1;
    }
    return 0;
}
