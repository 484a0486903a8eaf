// wrenfold [--browser] [--port N] [--no-open] [--help] [--version]
#include "platform/end_signals.h"
#include "platform/free_memory.h"
#include "shell/command_line.h"
#include "shell/entry.h"
#include "shell/launcher.h"
#include "shell/one_instance.h"
#include "sync/worker_process.h"

#include <csignal>
#include <cstdlib>
#include <iostream>

int main(int argc, char** argv)
{
    wrenfold::platform::configure_heaps();
    // Ending signals are taken by the main loop with sigwait (by the launcher
    // and the sync worker in their own ways); threads started later inherit
    // this mask. A closed browser connection must not kill us.
    wrenfold::platform::route_signals_to_main_thread({ SIGINT, SIGTERM });
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    // The launcher starts this same program as its sync worker.
    if (const char* handoff = std::getenv(wrenfold::sync::kWorkerMarker))
        return wrenfold::sync::sync_worker_main(handoff);

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
        return wrenfold::run_launcher(
            [&options](wrenfold::platform::QueueMap queues, wrenfold::platform::EventMap events) {
                try {
                    wrenfold::GUI(std::move(queues), std::move(events), options);
                    return 0;
                } catch (...) {
                    return 1;
                }
            });
    } catch (const std::exception& error) {
        std::cerr << "wrenfold: " << error.what() << "\n";
        return 1;
    }
}
