// Windows: a condition variable woken by wake(), and a look at the two clocks
// every few seconds, since a clock set while waiting has no event to wait on
// outside a window's message loop.
#include "reminders/wall_clock_timer.h"

#include <windows.h>

#include <algorithm>

namespace wrenfold {
namespace {

using namespace std::chrono_literals;

// Beyond this, a difference between the two clocks is not drift.
constexpr long long kJumpNanoseconds = 2'000'000'000LL;
// How often a wait looks whether the clock was set or the computer slept.
constexpr auto kClockLook = 5s;

long long wall_nanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Time since boot, suspends included (the tick count goes on through them).
long long boot_nanoseconds()
{
    return static_cast<long long>(::GetTickCount64()) * 1'000'000LL;
}

}  // namespace

WallClockTimer::WallClockTimer()
    : m_wall_minus_boot(wall_nanoseconds() - boot_nanoseconds())
{
}

bool WallClockTimer::clock_jumped()
{
    long long now = wall_nanoseconds() - boot_nanoseconds();
    bool jumped = now - m_wall_minus_boot > kJumpNanoseconds || m_wall_minus_boot - now > kJumpNanoseconds;
    m_wall_minus_boot = now;
    return jumped;
}

WallClockTimer::Wake WallClockTimer::wait_until(std::chrono::system_clock::time_point until,
                                                std::chrono::seconds longest)
{
    auto latest = std::chrono::system_clock::now() + longest;
    if (until > latest)
        until = latest;
    std::unique_lock lock(m_lock);
    while (true) {
        auto left = until - std::chrono::system_clock::now();
        auto step = std::min<std::chrono::system_clock::duration>(left, kClockLook);
        if (step > std::chrono::system_clock::duration::zero() &&
            m_woken_changed.wait_for(lock, step, [this] { return m_woken; })) {
            m_woken = false;
            clock_jumped();
            return Wake::woken;
        }
        if (clock_jumped())
            return Wake::clock_changed;
        if (std::chrono::system_clock::now() >= until)
            return Wake::due;
    }
}

void WallClockTimer::wake()
{
    {
        std::lock_guard lock(m_lock);
        m_woken = true;
    }
    m_woken_changed.notify_all();
}

}  // namespace wrenfold
