#include "platform/end_signals.h"

#include <csignal>
#include <sys/syscall.h>
#include <unistd.h>

namespace wrenfold::platform {

namespace {

void pass_to_main_thread(int signal)
{
    pid_t process = ::getpid();
    // On the main thread itself the signal is unblocked on purpose (a toolkit
    // loop installs its own handler then); sending it again would only loop.
    if (static_cast<pid_t>(::syscall(SYS_gettid)) == process)
        return;
    ::syscall(SYS_tgkill, process, process, signal);
}

}  // namespace

void route_signals_to_main_thread(std::initializer_list<int> signals)
{
    for (int signal : signals) {
        struct sigaction routed { };
        routed.sa_handler = pass_to_main_thread;
        sigemptyset(&routed.sa_mask);
        routed.sa_flags = SA_RESTART;
        ::sigaction(signal, &routed, nullptr);
    }
}

}  // namespace wrenfold::platform
