#pragma once

#ifndef _WIN32
#include "core/unique_fd.h"
#endif

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace wrenfold {

// Sleeps until a time of the wall clock, and wakes early when the clock is
// set, when the computer resumes from a suspend, or when woken. The wall
// clock keeps running through a suspend, so a time that passed while the
// computer slept wakes it at once on resume.
class WallClockTimer {
public:
    WallClockTimer();

    enum class Wake { due, woken, clock_changed };
    // Waits until `until` (at most `longest`, after which a suspend is
    // looked for again).
    Wake wait_until(std::chrono::system_clock::time_point until, std::chrono::seconds longest);
    // From any thread: the current or next wait returns `woken`.
    void wake();

private:
    // Whether the wall clock moved against the clock that counts a suspend
    // (CLOCK_BOOTTIME; on Windows the tick count, which counts it too)
    // since the last look: a suspend or a clock change.
    bool clock_jumped();

#ifdef _WIN32
    std::mutex m_lock;
    std::condition_variable m_woken_changed;
    bool m_woken { false };
#else
    UniqueFd m_timer;
    UniqueFd m_wake;
#endif
    long long m_wall_minus_boot { 0 };
};

}  // namespace wrenfold
