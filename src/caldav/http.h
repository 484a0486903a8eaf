#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace wrenfold::caldav {

struct Credentials {
    std::string user;
    std::string password;
};

struct HttpRequest {
    std::string method;
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    // Set only once the engine has checked that the URL's origin may see them.
    std::optional<Credentials> credentials;
};

struct HttpResponse {
    int status = 0;
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;

    std::string header(const std::string& lower_name) const
    {
        auto it = headers.find(lower_name);
        return it == headers.end() ? std::string() : it->second;
    }
};

// A Retry-After value, seconds or an HTTP date, as the wait from `now`;
// nothing when it is neither.
std::optional<std::chrono::seconds> parse_retry_after(const std::string& value,
                                                      std::chrono::system_clock::time_point now);

// Shared by the transports of one program: once set (at shutdown), every
// exchange under way ends within a tenth of a second as a NetworkError, and
// none starts.
class TransferAbort {
public:
    void abort() { m_aborted = true; }
    bool aborted() const { return m_aborted.load(); }

private:
    std::atomic<bool> m_aborted { false };
};

// One HTTP exchange, nothing more: no redirects are followed, and network,
// DNS and TLS failures are thrown as CalDavError. Must allow concurrent calls.
class HttpTransport {
public:
    virtual ~HttpTransport() = default;
    virtual HttpResponse perform(const HttpRequest& request) = 0;
};

}  // namespace wrenfold::caldav
