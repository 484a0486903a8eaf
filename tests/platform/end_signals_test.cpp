#include "platform/end_signals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <ctime>
#include <thread>

namespace wrenfold {
namespace {

// A thread that a library started before main blocked the end signals: it
// keeps them unblocked. A SIGTERM for the process must still reach the main
// thread's wait instead of ending the process.
TEST(EndSignals, ASignalLandingOnAForeignThreadReachesTheMainThreadWait)
{
    sigset_t none;
    sigemptyset(&none);
    sigset_t previous;
    pthread_sigmask(SIG_SETMASK, &none, &previous);
    std::atomic<bool> stop { false };
    std::thread foreign([&stop] {
        while (!stop)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });

    // A shell starts background programs with SIGINT ignored; the program
    // still ends on it, as it did when it only blocked the signal.
    std::signal(SIGINT, SIG_IGN);
    platform::route_signals_to_main_thread({ SIGINT, SIGTERM });
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, SIGTERM);
    sigaddset(&ending, SIGINT);
    pthread_sigmask(SIG_BLOCK, &ending, nullptr);

    for (int round = 0; round < 20; ++round) {
        int sent = round % 2 ? SIGINT : SIGTERM;
        ::kill(::getpid(), sent);
        timespec limit { 5, 0 };
        EXPECT_EQ(::sigtimedwait(&ending, nullptr, &limit), sent) << "round " << round;
    }

    stop = true;
    foreign.join();
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

}  // namespace
}  // namespace wrenfold
