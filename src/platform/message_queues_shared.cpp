// What the queues share on every platform: the in-process queue and event,
// and the framing of the queues between processes.
#include "platform/message_queues.h"

#include <utility>

namespace wrenfold::platform {

namespace {

// Far beyond any message (those of the sync worker fit in atomic_line_limit()).
constexpr std::size_t kMaxLineBytes = 1 << 20;

}  // namespace

std::optional<Json> JsonLineBuffer::next()
{
    std::size_t newline;
    while ((newline = m_buffer.find('\n', m_scanned)) != std::string::npos) {
        std::string line = m_buffer.substr(0, newline);
        m_buffer.erase(0, newline + 1);
        m_scanned = 0;
        if (std::exchange(m_dropping_line, false))
            continue;
        Json value = Json::parse(line, nullptr, false);
        if (!value.is_discarded())
            return value;
    }
    // Each byte is looked at once, however long the line grows; a line that
    // grows past any message is dropped rather than kept to its end.
    m_scanned = m_buffer.size();
    if (m_buffer.size() > kMaxLineBytes) {
        m_buffer.clear();
        m_scanned = 0;
        m_dropping_line = true;
    }
    return std::nullopt;
}

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
    {
        std::lock_guard lock(m_mutex);
        m_set = true;
    }
    m_changed.notify_all();
}

bool LocalEvent::is_set() const
{
    std::lock_guard lock(m_mutex);
    return m_set;
}

bool LocalEvent::wait(std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] { return m_set; });
}

PipeQueue::PipeQueue(PipeEnd read_end, PipeEnd write_end)
    : m_read(std::move(read_end)),
      m_write(std::move(write_end))
{
}

}  // namespace wrenfold::platform
