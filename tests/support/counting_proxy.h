#pragma once

#include "core/unique_fd.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace wrenfold::testing {

// An HTTP proxy on 127.0.0.1 in front of a test server, keeping one line per
// request that reached it: "REPORT /alice%40example.com/work/ sync-collection",
// and for a calendar-multiget the names of the objects asked for
// ("... calendar-multiget w1.ics"). One exchange per connection.
class CountingProxy {
public:
    explicit CountingProxy(int target_port);
    ~CountingProxy();
    CountingProxy(const CountingProxy&) = delete;
    CountingProxy& operator=(const CountingProxy&) = delete;

    std::string root_url() const;
    // The lines since the last take.
    std::vector<std::string> take();
    // The next sync-collection that carries a token is refused as a server
    // refuses an expired one (403, DAV:valid-sync-token), without reaching it.
    void refuse_next_sync_token() { m_refuse_token = true; }

private:
    void serve();
    void exchange(UniqueFd client);
    std::string forward(const std::string& request);

    int m_target_port;
    int m_port { 0 };
    UniqueFd m_listener;
    std::atomic<bool> m_refuse_token { false };
    std::mutex m_mutex;
    std::vector<std::string> m_lines;
    std::vector<std::thread> m_exchanges;
    std::thread m_acceptor;
};

}  // namespace wrenfold::testing
