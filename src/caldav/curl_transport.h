#pragma once

#include "caldav/http.h"

#include <memory>
#include <mutex>
#include <vector>

namespace wrenfold::caldav {

// libcurl transport with a small pool of easy handles, so that connections
// (and TLS sessions) are reused across calls and threads.
class CurlTransport final : public HttpTransport {
public:
    CurlTransport();
    ~CurlTransport() override;
    CurlTransport(const CurlTransport&) = delete;
    CurlTransport& operator=(const CurlTransport&) = delete;

    HttpResponse perform(const HttpRequest& request) override;

private:
    struct HandleDeleter {
        void operator()(void* handle) const;
    };
    using Handle = std::unique_ptr<void, HandleDeleter>;

    Handle acquire();
    void release(Handle handle);

    static constexpr size_t kMaxIdleHandles = 8;
    std::mutex m_pool_lock;
    std::vector<Handle> m_idle;
};

}  // namespace wrenfold::caldav
