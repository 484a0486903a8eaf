// The timer reminders sleep on, as each system builds it.
#include "reminders/wall_clock_timer.h"

#include <gtest/gtest.h>

#include <thread>

namespace wrenfold {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::system_clock;

TEST(WallClockTimer, WakesWhenDueAtTheLongestWaitAndWhenWokenEvenBeforeWaiting)
{
    WallClockTimer timer;
    auto start = Clock::now();
    EXPECT_EQ(timer.wait_until(start - 1h, 60s), WallClockTimer::Wake::due);

    auto due = Clock::now() + 200ms;
    EXPECT_EQ(timer.wait_until(due, 60s), WallClockTimer::Wake::due);
    EXPECT_GE(Clock::now(), due);

    // A time far off is looked at again after the longest wait.
    auto capped = Clock::now();
    EXPECT_EQ(timer.wait_until(capped + 24h, 1s), WallClockTimer::Wake::due);
    EXPECT_GE(Clock::now(), capped + 1s);
    EXPECT_LT(Clock::now(), capped + 30s);

    // A wake that comes before the wait still ends it, once.
    timer.wake();
    EXPECT_EQ(timer.wait_until(Clock::now() + 1h, 60s), WallClockTimer::Wake::woken);
    std::thread waker([&] {
        std::this_thread::sleep_for(100ms);
        timer.wake();
    });
    auto waited = Clock::now();
    EXPECT_EQ(timer.wait_until(waited + 1h, 60s), WallClockTimer::Wake::woken);
    EXPECT_LT(Clock::now(), waited + 30s);
    waker.join();
}

}  // namespace
}  // namespace wrenfold
