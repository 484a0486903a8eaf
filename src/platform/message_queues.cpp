#include "platform/message_queues.h"

namespace wrenfold {

std::optional<Json> LocalQueue::get(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    if (!m_ready.wait_for(lock, timeout, [this] { return !m_values.empty(); }))
        return std::nullopt;
    Json value = std::move(m_values.front());
    m_values.pop_front();
    return value;
}

void LocalQueue::put_nowait(Json value)
{
    {
        std::lock_guard lock(m_mutex);
        m_values.push_back(std::move(value));
    }
    m_ready.notify_one();
}

void LocalEvent::set()
{
    std::lock_guard lock(m_mutex);
    m_set = true;
}

bool LocalEvent::is_set() const
{
    std::lock_guard lock(m_mutex);
    return m_set;
}

}  // namespace wrenfold
