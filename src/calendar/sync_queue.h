#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace wrenfold {

// Calendars waiting for a background sync, synced on `threads` threads of
// its own, so that one slow server does not hold the others' syncs up. A
// calendar already waiting is not added twice.
class SyncQueue {
public:
    explicit SyncQueue(std::function<void(const std::string& calendar_url)> sync_one, std::size_t threads = 1);
    ~SyncQueue();
    SyncQueue(const SyncQueue&) = delete;
    SyncQueue& operator=(const SyncQueue&) = delete;

    void add(const std::vector<std::string>& calendar_urls);
    // Ends the threads after the syncs under way; what waits is dropped.
    void stop();

private:
    void run();

    std::function<void(const std::string&)> m_sync_one;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::string> m_waiting;
    std::set<std::string> m_queued;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

}  // namespace wrenfold
