#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace wrenfold::platform {

struct HttpResponse {
    long status { 0 };
    std::string body;
};

class HttpClient {
public:
    virtual ~HttpClient() = default;
    // Any answer of the server, error statuses included, is returned;
    // transport failures (no connection, time limit, a body longer than
    // `max_body_bytes`) throw PlatformError.
    virtual HttpResponse get(const std::string& url, const std::vector<std::pair<std::string, std::string>>& headers,
                             std::chrono::milliseconds timeout, std::size_t max_body_bytes) = 0;
};

// libcurl. Redirects are not followed: request headers carry credentials.
class CurlHttpClient final : public HttpClient {
public:
    HttpResponse get(const std::string& url, const std::vector<std::pair<std::string, std::string>>& headers,
                     std::chrono::milliseconds timeout, std::size_t max_body_bytes) override;
};

}  // namespace wrenfold::platform
