#include "calendar/sync_queue.h"

namespace wrenfold {

SyncQueue::SyncQueue(std::function<void(const std::string& calendar_url)> sync_one, std::size_t threads)
    : m_sync_one(std::move(sync_one))
{
    for (std::size_t i = 0; i < threads; ++i)
        m_threads.emplace_back([this] { run(); });
}

SyncQueue::~SyncQueue()
{
    stop();
}

void SyncQueue::add(const std::vector<std::string>& calendar_urls)
{
    {
        std::lock_guard lock(m_mutex);
        for (const std::string& url : calendar_urls)
            if (m_queued.insert(url).second)
                m_waiting.push_back(url);
    }
    m_wake.notify_all();
}

void SyncQueue::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_waiting.clear();
        m_queued.clear();
    }
    m_wake.notify_all();
    for (std::thread& thread : m_threads)
        if (thread.joinable() && thread.get_id() != std::this_thread::get_id())
            thread.join();
}

void SyncQueue::run()
{
    for (;;) {
        std::string url;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_waiting.empty(); });
            if (m_stopping)
                return;
            url = std::move(m_waiting.front());
            m_waiting.pop_front();
            m_queued.erase(url);
        }
        try {
            m_sync_one(url);
        } catch (...) {
            // The sync records its own failure; nothing may end this thread.
        }
    }
}

}  // namespace wrenfold
