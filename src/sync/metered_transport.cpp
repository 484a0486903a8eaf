#include "sync/metered_transport.h"

namespace wrenfold::sync {

namespace {

std::uint64_t request_size(const caldav::HttpRequest& request)
{
    std::uint64_t size = request.method.size() + request.url.size() + request.body.size();
    for (const auto& [name, value] : request.headers)
        size += name.size() + value.size() + 4;
    return size;
}

std::uint64_t response_size(const caldav::HttpResponse& response)
{
    std::uint64_t size = response.body.size() + 16;
    for (const auto& [name, value] : response.headers)
        size += name.size() + value.size() + 4;
    return size;
}

}  // namespace

MeteredTransport::MeteredTransport(std::unique_ptr<caldav::HttpTransport> inner)
    : m_inner(std::move(inner))
{
}

caldav::HttpResponse MeteredTransport::perform(const caldav::HttpRequest& request)
{
    {
        std::lock_guard lock(m_mutex);
        ++m_traffic.requests;
        m_traffic.bytes_sent += request_size(request);
    }
    caldav::HttpResponse response = m_inner->perform(request);
    std::lock_guard lock(m_mutex);
    m_traffic.bytes_received += response_size(response);
    m_last_retry_after = response.header("retry-after");
    return response;
}

TrafficCount MeteredTransport::traffic() const
{
    std::lock_guard lock(m_mutex);
    return m_traffic;
}

std::optional<std::chrono::seconds> MeteredTransport::last_retry_after() const
{
    std::string value;
    {
        std::lock_guard lock(m_mutex);
        value = m_last_retry_after;
    }
    return parse_retry_after(value, std::chrono::system_clock::now());
}

void MeteredTransport::clear_last_answer()
{
    std::lock_guard lock(m_mutex);
    m_last_retry_after.clear();
}

}  // namespace wrenfold::sync
