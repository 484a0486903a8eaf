#include "support/counting_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <regex>
#include <stdexcept>

namespace wrenfold::testing {

namespace {

UniqueFd loopback_socket()
{
    return UniqueFd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
}

sockaddr_in loopback_address(int port)
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return address;
}

void send_all(int fd, const std::string& data)
{
    for (std::size_t done = 0; done < data.size();) {
        ssize_t sent = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (sent <= 0)
            return;
        done += static_cast<std::size_t>(sent);
    }
}

// One whole request: the head, then as many body bytes as it announces.
std::string read_request(int fd)
{
    std::string request;
    char buffer[8192];
    ssize_t got = 0;
    while (request.find("\r\n\r\n") == std::string::npos && (got = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
        request.append(buffer, static_cast<std::size_t>(got));
    std::size_t head_end = request.find("\r\n\r\n");
    if (head_end == std::string::npos)
        return "";
    std::smatch length;
    std::string head = request.substr(0, head_end);
    std::size_t body_length = 0;
    if (std::regex_search(head, length, std::regex("\r\n[Cc]ontent-[Ll]ength: *([0-9]+)")))
        body_length = std::stoul(length[1]);
    while (request.size() < head_end + 4 + body_length && (got = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
        request.append(buffer, static_cast<std::size_t>(got));
    return request;
}

// "REPORT /path/ sync-collection", with the multiget's object names.
std::string line_for(const std::string& request)
{
    std::string line = request.substr(0, request.find(" HTTP/"));
    std::string body = request.substr(request.find("\r\n\r\n") + 4);
    for (const char* kind : { "sync-collection", "calendar-multiget", "calendar-query" })
        if (body.find(kind) != std::string::npos)
            line += std::string(" ") + kind;
    if (body.find("calendar-multiget") != std::string::npos) {
        static const std::regex href("<(?:[A-Za-z]+:)?href>[^<]*/([^/<]+)</(?:[A-Za-z]+:)?href>");
        for (std::sregex_iterator it(body.begin(), body.end(), href), end; it != end; ++it)
            line += " " + (*it)[1].str();
    }
    return line;
}

bool carries_sync_token(const std::string& request)
{
    return std::regex_search(request, std::regex("sync-token>[^<]+<"));
}

// The request with its connection closed after the answer.
std::string closing(const std::string& request)
{
    std::string head = request.substr(0, request.find("\r\n\r\n"));
    std::string body = request.substr(head.size() + 4);
    head = std::regex_replace(head, std::regex("\r\n[Cc]onnection:[^\r]*"), "");
    return head + "\r\nConnection: close\r\n\r\n" + body;
}

}  // namespace

CountingProxy::CountingProxy(int target_port)
    : m_target_port(target_port),
      m_listener(loopback_socket())
{
    sockaddr_in address = loopback_address(0);
    socklen_t length = sizeof address;
    if (::bind(m_listener.get(), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(m_listener.get(), 64) != 0 ||
        ::getsockname(m_listener.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("the proxy cannot listen");
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { serve(); });
}

CountingProxy::~CountingProxy()
{
    ::shutdown(m_listener.get(), SHUT_RDWR);
    m_acceptor.join();
    for (std::thread& exchange : m_exchanges)
        exchange.join();
}

std::string CountingProxy::root_url() const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + "/";
}

std::vector<std::string> CountingProxy::take()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_lines, {});
}

void CountingProxy::serve()
{
    while (true) {
        UniqueFd client(::accept4(m_listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!client.valid())
            return;
        m_exchanges.emplace_back([this, fd = std::move(client)]() mutable { exchange(std::move(fd)); });
    }
}

void CountingProxy::exchange(UniqueFd client)
{
    std::string request = read_request(client.get());
    if (request.empty())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_lines.push_back(line_for(request));
    }
    if (line_for(request).find("sync-collection") != std::string::npos && carries_sync_token(request) &&
        m_refuse_token.exchange(false)) {
        const std::string body =
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<D:error xmlns:D=\"DAV:\"><D:valid-sync-token/></D:error>";
        send_all(client.get(),
                 "HTTP/1.1 403 Forbidden\r\nContent-Type: application/xml; charset=utf-8\r\nConnection: close\r\n"
                 "Content-Length: " +
                     std::to_string(body.size()) + "\r\n\r\n" + body);
        return;
    }
    send_all(client.get(), forward(closing(request)));
}

std::string CountingProxy::forward(const std::string& request)
{
    UniqueFd target = loopback_socket();
    sockaddr_in address = loopback_address(m_target_port);
    if (::connect(target.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    send_all(target.get(), request);
    std::string answer;
    char buffer[8192];
    for (ssize_t got; (got = ::recv(target.get(), buffer, sizeof buffer, 0)) > 0;)
        answer.append(buffer, static_cast<std::size_t>(got));
    return answer;
}

}  // namespace wrenfold::testing
