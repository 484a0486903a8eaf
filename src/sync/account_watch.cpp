#include "sync/account_watch.h"

#include <algorithm>

namespace wrenfold::sync {

AccountWatch::AccountWatch(std::chrono::seconds interval, bool catch_up)
    : m_interval(std::max(interval, std::chrono::seconds(1))),
      m_catch_up(catch_up)
{
}

Changes AccountWatch::changes_in(const CalendarStates& current) const
{
    if (m_failing || (m_catch_up && !m_known)) {
        Changes recovered = m_known ? compare_states(*m_known, current) : Changes {};
        recovered.changed_urls.clear();
        for (const CalendarState& state : current)
            recovered.changed_urls.push_back(state.url);
        return recovered;
    }
    if (!m_known)
        return {};
    return compare_states(*m_known, current);
}

void AccountWatch::succeeded(CalendarStates current, Clock::time_point now)
{
    m_known = std::move(current);
    m_failing = false;
    m_failures_in_a_row = 0;
    m_next_look = now + m_interval;
}

bool AccountWatch::failed(std::optional<std::chrono::seconds> retry_after, Clock::time_point now)
{
    bool news = !m_failing;
    m_failing = true;
    std::chrono::seconds wait = m_interval;
    for (int i = 0; i < m_failures_in_a_row && wait < kMaxBackoff; ++i)
        wait *= 2;
    wait = std::min(wait, std::max(kMaxBackoff, m_interval));
    if (retry_after)
        wait = std::max(wait, std::min(*retry_after, kMaxRetryAfter));
    ++m_failures_in_a_row;
    m_next_look = now + wait;
    return news;
}

}  // namespace wrenfold::sync
