#pragma once

#include "caldav/http.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace wrenfold::testing {

// Passes every exchange on to the real transport and keeps a line per
// request ("REPORT /alice/work/ sync-collection"), the count that reached
// the server.
class CountingTransport final : public caldav::HttpTransport {
public:
    struct Log {
        std::mutex mutex;
        std::vector<std::string> requests;

        std::vector<std::string> take()
        {
            std::lock_guard lock(mutex);
            return std::exchange(requests, {});
        }
    };

    CountingTransport(std::unique_ptr<caldav::HttpTransport> inner, std::shared_ptr<Log> log)
        : m_inner(std::move(inner)),
          m_log(std::move(log))
    {
    }

    caldav::HttpResponse perform(const caldav::HttpRequest& request) override
    {
        std::string kind;
        for (const char* report : { "sync-collection", "calendar-multiget", "calendar-query", "propfind" })
            if (request.body.find(report) != std::string::npos)
                kind = report;
        {
            std::lock_guard lock(m_log->mutex);
            m_log->requests.push_back(request.method + " " + kind);
        }
        return m_inner->perform(request);
    }

private:
    std::unique_ptr<caldav::HttpTransport> m_inner;
    std::shared_ptr<Log> m_log;
};

}  // namespace wrenfold::testing
