#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace wrenfold::platform {

// Ends the connections to a local port that hold a server thread without
// having sent a whole request: one that is still waiting for its request
// `deadline` after it came (or after its last answer), and the oldest waiting
// ones beyond `max_waiting`. A connection is busy, and left alone, between
// `request_started` and `request_ended` of its peer. Looks every half second
// at this process's sockets; ended connections see their socket shut down, so
// that the thread reading them returns at once.
//
// On Windows a process cannot list its own sockets (handles are not files to
// look through), so the watch only keeps its bookkeeping there: a stalled
// connection ends at the host's keep-alive and read time-outs instead.
class ConnectionWatch {
public:
    struct Limits {
        std::chrono::milliseconds deadline;
        std::size_t max_waiting;
    };

    ConnectionWatch(int port, Limits limits);
    ~ConnectionWatch();
    ConnectionWatch(const ConnectionWatch&) = delete;
    ConnectionWatch& operator=(const ConnectionWatch&) = delete;

    // `peer` is the remote "address:port" of the connection.
    void request_started(const std::string& peer);
    void request_ended(const std::string& peer);

private:
    using Clock = std::chrono::steady_clock;
    struct Connection {
        int fd { -1 };
        Clock::time_point waiting_since;
        bool busy { false };
    };

    void watch();
    void end_stalled(const std::map<std::string, int>& open);

    int m_port;
    Limits m_limits;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_stopping { false };
    std::map<std::string, Connection> m_connections;
    std::thread m_thread;
};

}  // namespace wrenfold::platform
