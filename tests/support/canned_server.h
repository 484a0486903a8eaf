#pragma once

#include "core/unique_fd.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>

namespace wrenfold::testing {

// A socket listening on a free port of 127.0.0.1; `port` is set to it.
inline wrenfold::UniqueFd listen_on_loopback(int& port)
{
    wrenfold::UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(socket.get(), reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(socket.get(), 64) != 0 ||
        ::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot listen");
    port = ntohs(address.sin_port);
    return socket;
}

// Answers every request on 127.0.0.1 with what `answer` makes of its head, one
// request per connection.
class CannedServer {
public:
    explicit CannedServer(std::function<std::string(const std::string& head)> answer)
        : m_answer(std::move(answer)),
          m_listener(listen_on_loopback(m_port))
    {
        m_thread = std::thread([this] { serve(); });
    }
    ~CannedServer()
    {
        ::shutdown(m_listener.get(), SHUT_RDWR);
        m_thread.join();
    }

    std::string root() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/"; }
    // How many requests it has answered.
    int requests() const { return m_requests; }

private:
    void serve()
    {
        while (true) {
            wrenfold::UniqueFd client(::accept4(m_listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (!client.valid())
                return;
            std::string request;
            char buffer[4096];
            ssize_t got = 0;
            while (request.find("\r\n\r\n") == std::string::npos &&
                   (got = ::recv(client.get(), buffer, sizeof buffer, 0)) > 0)
                request.append(buffer, static_cast<std::size_t>(got));
            // The whole body is read first: a socket closed on unread data
            // would reset the connection before the answer is read.
            std::size_t head_end = request.find("\r\n\r\n");
            std::string head = request.substr(0, head_end);
            std::size_t length_at = head.find("Content-Length: ");
            std::size_t body_length = length_at == std::string::npos ? 0 : std::stoul(head.substr(length_at + 16));
            while (head_end != std::string::npos && request.size() < head_end + 4 + body_length &&
                   (got = ::recv(client.get(), buffer, sizeof buffer, 0)) > 0)
                request.append(buffer, static_cast<std::size_t>(got));
            ++m_requests;
            std::string reply = m_answer(head);
            for (std::size_t done = 0; done < reply.size();) {
                ssize_t sent = ::send(client.get(), reply.data() + done, reply.size() - done, MSG_NOSIGNAL);
                if (sent <= 0)
                    break;
                done += static_cast<std::size_t>(sent);
            }
        }
    }

    std::function<std::string(const std::string&)> m_answer;
    int m_port { 0 };  // before the socket, whose making sets it
    wrenfold::UniqueFd m_listener;
    std::atomic<int> m_requests { 0 };
    std::thread m_thread;
};

// A server on 127.0.0.1 that takes connections (the kernel completes them)
// and never reads or answers a request.
class SilentServer {
public:
    SilentServer()
        : m_socket(listen_on_loopback(m_port))
    {
    }
    std::string root() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/"; }

private:
    int m_port { 0 };  // before the socket, whose making sets it
    wrenfold::UniqueFd m_socket;
};

}  // namespace wrenfold::testing
