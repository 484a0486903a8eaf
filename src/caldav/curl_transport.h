#pragma once

#include "caldav/http.h"

#include <memory>
#include <mutex>
#include <vector>

namespace wrenfold::caldav {

// libcurl transport with a small pool of handles, so that connections (and
// TLS sessions) are reused across calls and threads. Each exchange runs on a
// multi handle of its own that is polled in short steps, so that `abort` can
// end it while it waits on a server.
class CurlTransport final : public HttpTransport {
public:
    explicit CurlTransport(std::shared_ptr<const TransferAbort> abort = nullptr);
    ~CurlTransport() override;
    CurlTransport(const CurlTransport&) = delete;
    CurlTransport& operator=(const CurlTransport&) = delete;

    HttpResponse perform(const HttpRequest& request) override;

private:
    struct Handles;
    struct HandleDeleter {
        void operator()(Handles* handles) const;
    };
    using Handle = std::unique_ptr<Handles, HandleDeleter>;

    Handle acquire();
    void release(Handle handle);

    void run(Handles& handles);

    static constexpr size_t kMaxIdleHandles = 8;
    std::shared_ptr<const TransferAbort> m_abort;
    std::mutex m_pool_lock;
    std::vector<Handle> m_idle;
};

}  // namespace wrenfold::caldav
