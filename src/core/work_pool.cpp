#include "core/work_pool.h"

#include <atomic>

namespace wrenfold {

struct WorkPool::Batch {
    const std::function<void(std::size_t)>* work;
    std::size_t count;
    std::atomic<std::size_t> next { 0 };
    std::mutex mutex;
    std::condition_variable finished;
    std::size_t done = 0;

    // Runs items until none is left to take.
    void drain()
    {
        for (std::size_t item = next++; item < count; item = next++) {
            try {
                (*work)(item);
            } catch (...) {
            }
            std::lock_guard lock(mutex);
            if (++done == count)
                finished.notify_all();
        }
    }
};

WorkPool::WorkPool(std::size_t threads, std::function<void()> when_idle, std::chrono::milliseconds idle_after)
    : m_when_idle(std::move(when_idle)),
      m_idle_after(idle_after)
{
    m_threads.reserve(threads);
    for (std::size_t i = 0; i < threads; ++i)
        m_threads.emplace_back([this] { serve(); });
}

WorkPool::~WorkPool()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

void WorkPool::run_all(std::size_t count, const std::function<void(std::size_t)>& work)
{
    if (count == 0)
        return;
    auto batch = std::make_shared<Batch>();
    batch->work = &work;
    batch->count = count;
    {
        std::lock_guard lock(m_mutex);
        ++m_running;
        m_idle_at.reset();
        if (count > 1)
            m_batches.push_back(batch);
    }
    if (count > 1)
        m_wake.notify_all();
    batch->drain();
    {
        std::unique_lock lock(batch->mutex);
        // `work` lives until here: the pool touches it only for items it took,
        // and every one of those is done.
        batch->finished.wait(lock, [&] { return batch->done == batch->count; });
    }
    std::lock_guard lock(m_mutex);
    if (--m_running == 0 && m_when_idle) {
        m_idle_at = std::chrono::steady_clock::now() + m_idle_after;
        m_wake.notify_one();
    }
}

void WorkPool::serve()
{
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (!m_batches.empty()) {
            std::shared_ptr<Batch> batch = m_batches.front();
            // Nothing left to take: the batch leaves the queue for good.
            if (batch->next >= batch->count) {
                m_batches.pop_front();
                continue;
            }
            lock.unlock();
            batch->drain();
            lock.lock();
        } else if (m_idle_at && std::chrono::steady_clock::now() >= *m_idle_at) {
            m_idle_at.reset();
            lock.unlock();
            try {
                m_when_idle();
            } catch (...) {
            }
            lock.lock();
        } else if (m_idle_at) {
            const auto until = *m_idle_at;
            m_wake.wait_until(lock, until);
        } else {
            m_wake.wait(lock);
        }
    }
}

}  // namespace wrenfold
