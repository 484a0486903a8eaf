#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace wrenfold {

// A fixed set of threads that share out the items of a batch. The caller
// takes items too, so a batch never waits on a pool kept busy by another, and
// no call starts a thread: the threads (and their allocator arenas) stay the
// same however many calls come.
class WorkPool {
public:
    explicit WorkPool(std::size_t threads);
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
    std::vector<std::thread> m_threads;
};

}  // namespace wrenfold
