#pragma once

#include "sync/calendar_states.h"

#include <chrono>
#include <optional>

namespace wrenfold::sync {

using Clock = std::chrono::steady_clock;

// The watch over one account from cycle to cycle: the calendars last seen,
// whether its last look failed, and when to look again. After a failure the
// wait doubles from the interval up to five minutes, or is what the server
// asked for with Retry-After.
class AccountWatch {
public:
    // `catch_up`: what changed before the first look is unknown (a worker
    // started again after a crash), so the first look reports every calendar.
    explicit AccountWatch(std::chrono::seconds interval, bool catch_up = false);

    bool due(Clock::time_point now) const { return now >= m_next_look; }
    Clock::time_point next_look() const { return m_next_look; }
    bool failing() const { return m_failing; }

    // What a successful look found, against the last one. The first look
    // reports nothing; the first after a failure reports every calendar as
    // changed, so that each is marked healthy again.
    Changes changes_in(const CalendarStates& current) const;
    // Takes the look as the new known state, once its report has been sent.
    void succeeded(CalendarStates current, Clock::time_point now);
    // Looks again after the interval, the known state unchanged.
    void postpone(Clock::time_point now) { m_next_look = now + m_interval; }
    // Answers whether this failure is news (the account was not failing yet).
    bool failed(std::optional<std::chrono::seconds> retry_after, Clock::time_point now);

private:
    std::chrono::seconds m_interval;
    std::optional<CalendarStates> m_known;
    bool m_failing { false };
    bool m_catch_up { false };
    int m_failures_in_a_row { 0 };
    Clock::time_point m_next_look {};
};

// The longest wait after failures, and the longest Retry-After obeyed.
inline constexpr std::chrono::seconds kMaxBackoff { 300 };
inline constexpr std::chrono::seconds kMaxRetryAfter { 3600 };

}  // namespace wrenfold::sync
