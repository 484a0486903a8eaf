#include "reminders/wall_clock_timer.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <system_error>

namespace wrenfold {
namespace {

long long nanoseconds_of(clockid_t clock)
{
    timespec now {};
    clock_gettime(clock, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// Beyond this, a difference between the two clocks is not drift.
constexpr long long kJumpNanoseconds = 2'000'000'000LL;

}  // namespace

WallClockTimer::WallClockTimer()
    : m_timer(timerfd_create(CLOCK_REALTIME, TFD_CLOEXEC | TFD_NONBLOCK)),
      m_wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      m_wall_minus_boot(nanoseconds_of(CLOCK_REALTIME) - nanoseconds_of(CLOCK_BOOTTIME))
{
    if (!m_timer.valid() || !m_wake.valid())
        throw std::system_error(errno, std::generic_category(), "reminder timer");
}

bool WallClockTimer::clock_jumped()
{
    long long now = nanoseconds_of(CLOCK_REALTIME) - nanoseconds_of(CLOCK_BOOTTIME);
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
    long long ns = std::chrono::duration_cast<std::chrono::nanoseconds>(until.time_since_epoch()).count();
    itimerspec due {};
    due.it_value.tv_sec = ns / 1000000000LL;
    due.it_value.tv_nsec = ns % 1000000000LL;
    if (due.it_value.tv_sec <= 0 && due.it_value.tv_nsec <= 0)
        due.it_value.tv_nsec = 1;  // zero would disarm the timer
    // TFD_TIMER_CANCEL_ON_SET: a clock set while waiting ends the wait.
    if (timerfd_settime(m_timer.get(), TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &due, nullptr) != 0)
        throw std::system_error(errno, std::generic_category(), "reminder timer");
    pollfd fds[2] = { { m_timer.get(), POLLIN, 0 }, { m_wake.get(), POLLIN, 0 } };
    while (poll(fds, 2, -1) < 0)
        if (errno != EINTR)
            throw std::system_error(errno, std::generic_category(), "reminder timer");
    std::uint64_t count = 0;
    if (fds[1].revents & POLLIN) {
        [[maybe_unused]] auto ignored = read(m_wake.get(), &count, sizeof count);
        clock_jumped();
        return Wake::woken;
    }
    if (read(m_timer.get(), &count, sizeof count) < 0 && errno == ECANCELED) {
        clock_jumped();
        return Wake::clock_changed;
    }
    return clock_jumped() ? Wake::clock_changed : Wake::due;
}

void WallClockTimer::wake()
{
    std::uint64_t one = 1;
    [[maybe_unused]] auto ignored = write(m_wake.get(), &one, sizeof one);
}

}  // namespace wrenfold
