#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace wrenfold {

// A fixed set of threads that share out the items of a batch. The caller
// takes items too, so a batch never waits on a pool kept busy by another, and
// no call starts a thread: the threads (and their allocator arenas) stay the
// same however many calls come.
class WorkPool {
public:
    // `when_idle`, when given, runs on one of the pool's threads once no
    // batch has run for `idle_after` since the last one ended: once per such
    // pause, never while a batch runs.
    explicit WorkPool(std::size_t threads, std::function<void()> when_idle = {},
                      std::chrono::milliseconds idle_after = std::chrono::seconds(1));
    ~WorkPool();
    WorkPool(const WorkPool&) = delete;
    WorkPool& operator=(const WorkPool&) = delete;

    // Runs `work(i)` once for every i below `count` and returns when all are
    // done. What `work` throws is dropped: it must report its own failures.
    void run_all(std::size_t count, const std::function<void(std::size_t)>& work);

private:
    struct Batch;
    void serve();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::shared_ptr<Batch>> m_batches;
    bool m_stopping = false;
    std::function<void()> m_when_idle;
    std::chrono::milliseconds m_idle_after;
    std::size_t m_running = 0;  // run_all calls under way
    std::optional<std::chrono::steady_clock::time_point> m_idle_at;
    std::vector<std::thread> m_threads;
};

}  // namespace wrenfold
