#pragma once

#include "caldav/http.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace wrenfold::sync {

// What went over the wire through one transport.
struct TrafficCount {
    std::uint64_t requests { 0 };
    std::uint64_t bytes_sent { 0 };      // request line, headers and body
    std::uint64_t bytes_received { 0 };  // status, headers and body
};

// Passes every exchange to another transport, counting the traffic and
// keeping the last answer's status and Retry-After, which the engine's
// errors do not carry.
class MeteredTransport final : public caldav::HttpTransport {
public:
    explicit MeteredTransport(std::unique_ptr<caldav::HttpTransport> inner);

    caldav::HttpResponse perform(const caldav::HttpRequest& request) override;

    TrafficCount traffic() const;
    // The Retry-After of the last answer, when it had one that could be read.
    std::optional<std::chrono::seconds> last_retry_after() const;
    // Forgets the last answer, before a new look.
    void clear_last_answer();

private:
    std::unique_ptr<caldav::HttpTransport> m_inner;
    mutable std::mutex m_mutex;
    TrafficCount m_traffic;
    std::string m_last_retry_after;
};

using caldav::parse_retry_after;

}  // namespace wrenfold::sync
