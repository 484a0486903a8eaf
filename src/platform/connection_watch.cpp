#include "platform/connection_watch.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <optional>
#include <vector>

namespace wrenfold::platform {

namespace {

using namespace std::chrono_literals;

// The peer of `fd` when it is a TCP connection accepted on `port`.
std::optional<std::string> accepted_peer(int fd, int port)
{
    struct stat info { };
    if (::fstat(fd, &info) != 0 || !S_ISSOCK(info.st_mode))
        return std::nullopt;
    sockaddr_in local {};
    sockaddr_in remote {};
    socklen_t local_size = sizeof local;
    socklen_t remote_size = sizeof remote;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &local_size) != 0 || local.sin_family != AF_INET ||
        ntohs(local.sin_port) != port)
        return std::nullopt;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&remote), &remote_size) != 0 || remote.sin_family != AF_INET)
        return std::nullopt;
    char address[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &remote.sin_addr, address, sizeof address);
    return std::string(address) + ":" + std::to_string(ntohs(remote.sin_port));
}

// Every connection accepted on `port` that this process holds, by peer.
std::map<std::string, int> open_connections(int port)
{
    std::map<std::string, int> open;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        std::string name = entry.path().filename().string();
        int fd = -1;
        if (std::from_chars(name.data(), name.data() + name.size(), fd).ec != std::errc())
            continue;
        if (auto peer = accepted_peer(fd, port))
            open[*peer] = fd;
    }
    return open;
}

}  // namespace

ConnectionWatch::ConnectionWatch(int port, Limits limits)
    : m_port(port),
      m_limits(limits),
      m_thread([this] { watch(); })
{
}

ConnectionWatch::~ConnectionWatch()
{
    {
        std::lock_guard lock(m_lock);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void ConnectionWatch::request_started(const std::string& peer)
{
    std::lock_guard lock(m_lock);
    m_connections[peer].busy = true;
}

void ConnectionWatch::request_ended(const std::string& peer)
{
    std::lock_guard lock(m_lock);
    auto& connection = m_connections[peer];
    connection.busy = false;
    connection.waiting_since = Clock::now();
}

void ConnectionWatch::watch()
{
    std::unique_lock lock(m_lock);
    while (!m_wake.wait_for(lock, 500ms, [this] { return m_stopping; })) {
        lock.unlock();
        auto open = open_connections(m_port);
        lock.lock();
        end_stalled(open);
    }
}

void ConnectionWatch::end_stalled(const std::map<std::string, int>& open)
{
    auto now = Clock::now();
    std::erase_if(m_connections, [&](const auto& entry) { return !open.contains(entry.first); });
    std::vector<std::pair<Clock::time_point, std::string>> waiting;
    for (const auto& [peer, fd] : open) {
        auto [place, added] = m_connections.try_emplace(peer, Connection { fd, now, false });
        place->second.fd = fd;
        if (!place->second.busy)
            waiting.emplace_back(place->second.waiting_since, peer);
    }
    std::sort(waiting.begin(), waiting.end());
    std::size_t over_cap = waiting.size() > m_limits.max_waiting ? waiting.size() - m_limits.max_waiting : 0;
    for (std::size_t i = 0; i < waiting.size(); ++i) {
        const auto& [since, peer] = waiting[i];
        if (i >= over_cap && now - since < m_limits.deadline)
            continue;
        int fd = m_connections[peer].fd;
        // The descriptor may have been closed and reused since the look.
        if (accepted_peer(fd, m_port) == peer)
            ::shutdown(fd, SHUT_RDWR);
    }
}

}  // namespace wrenfold::platform
