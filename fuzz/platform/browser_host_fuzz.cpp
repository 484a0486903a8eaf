// Sends arbitrary requests to a running browser host over loopback. The
// input's first line is the method name, the lines up to an empty one are
// extra headers, the rest is the body; its first byte chooses whether the
// request carries the right token and Host header. Whatever comes in, the
// host must answer (or close) without crashing, and a call must reach the
// bridge only with the right token and a JSON array.
#include "platform/browser_host.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace wrenfold;

namespace {

// Answers what it is given, copied and serialised as the real bridge would.
class EchoBridge final : public BridgeTarget {
public:
    bool has_method(std::string_view method) const override { return method == "echo" || method == "get_events"; }
    BridgeReply call(std::string_view, const Json& args) override
    {
        if (!args.is_array())
            std::abort();
        Json copy = args;
        return { BridgeReply::Status::Ok, Json::array({ dump_compact(copy).size() }), {} };
    }
};

platform::BrowserHost& running_host()
{
    static EchoBridge bridge;
    static platform::BrowserHost host("<html>page</html>", "/nonexistent", bridge);
    static const bool started = (host.start(0), true);
    (void)started;
    return host;
}

std::string crlf_lines(std::string_view text)
{
    std::string lines;
    for (char c : text) {
        if (c == '\n')
            lines += "\r\n";
        else if (c != '\r')
            lines += c;
    }
    if (!lines.empty())
        lines += "\r\n";
    return lines;
}

std::string build_request(std::string_view input, const platform::BrowserHost& host)
{
    bool authorised = !input.empty() && (static_cast<unsigned char>(input.front()) & 1);
    if (!input.empty())
        input.remove_prefix(1);
    auto method_end = input.find('\n');
    std::string_view method = input.substr(0, method_end);
    input = method_end == std::string_view::npos ? std::string_view() : input.substr(method_end + 1);
    auto headers_end = input.find("\n\n");
    std::string_view headers = input.substr(0, headers_end);
    std::string_view body = headers_end == std::string_view::npos ? std::string_view() : input.substr(headers_end + 2);

    std::string request = "POST /api/" + std::string(method) + " HTTP/1.1\r\n";
    std::string port = std::to_string(host.port());
    request += "Host: " + (authorised ? "127.0.0.1:" + port : "elsewhere:" + port) + "\r\n";
    if (authorised)
        request += "X-Wrenfold-Token: " + host.token() + "\r\n";
    request += crlf_lines(headers);
    request += "Connection: close\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    request += body;
    return request;
}

void exchange(const std::string& request, int port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval limit { 5, 0 };
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        std::string_view rest = request;
        while (!rest.empty()) {
            ssize_t sent = ::send(fd, rest.data(), rest.size(), MSG_NOSIGNAL);
            if (sent <= 0)
                break;
            rest.remove_prefix(static_cast<std::size_t>(sent));
        }
        ::shutdown(fd, SHUT_WR);
        char buffer[4096];
        while (::recv(fd, buffer, sizeof buffer, 0) > 0) { }
    }
    ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    platform::BrowserHost& host = running_host();
    exchange(build_request(std::string_view(reinterpret_cast<const char*>(data), size), host), host.port());
    return 0;
}
