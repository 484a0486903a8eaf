#include "platform/browser_host.h"

#include "platform/connection_watch.h"
#include "platform/page_files.h"
#include "platform/platform_error.h"

#include "core/atomic_store.h"
#include "core/random.h"

#include <httplib.h>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace wrenfold::platform {

namespace {

constexpr std::size_t kTokenBytes = 32;  // 256 bits
constexpr std::size_t kMaxRequestBody = 16 * 1024 * 1024;

// Every connection holds a worker thread while it is open, idle keep-alive
// connections included (until kKeepAliveSeconds pass without a request), and
// a bridge call holds its thread until it answers: an account check up to a
// minute, a chat turn up to its time limit. 64 workers leave room for 16 such
// calls at once, a browser's 6 connections per host and other tabs, so that
// the page's polling is always answered at once.
constexpr std::size_t kWorkerThreads = 64;
constexpr time_t kKeepAliveSeconds = 5;
// A request's head and body come within 10 s of its connection (or of the
// last answer on it), and at most half the workers wait for requests at once.
constexpr ConnectionWatch::Limits kWaitingLimits { std::chrono::seconds(10), kWorkerThreads / 2 };

bool is_page_request(const httplib::Request& request)
{
    return (request.method == "GET" || request.method == "HEAD") &&
        (request.path == "/" || request.path == "/index.html");
}

void send_json(httplib::Response& response, int status, const Json& body)
{
    response.status = status;
    response.set_content(dump_compact(body), "application/json; charset=utf-8");
}

// {"result": text}, wrapped in place: a month's answer is megabytes, and its
// writer leaves room for the few bytes added.
void send_result(httplib::Response& response, std::string text)
{
    static constexpr std::string_view kOpen = R"({"result":)";
    text.insert(0, kOpen);
    text.push_back('}');
    response.status = 200;
    response.body = std::move(text);
    response.set_header("Content-Type", "application/json; charset=utf-8");
}

std::string peer_of(const httplib::Request& request)
{
    return request.remote_addr + ":" + std::to_string(request.remote_port);
}

// Marks a connection busy while a whole request it sent is answered.
class Answering {
public:
    Answering(ConnectionWatch& watch, std::string peer)
        : m_watch(watch),
          m_peer(std::move(peer))
    {
        m_watch.request_started(m_peer);
    }
    ~Answering() { m_watch.request_ended(m_peer); }
    Answering(const Answering&) = delete;
    Answering& operator=(const Answering&) = delete;

private:
    ConnectionWatch& m_watch;
    std::string m_peer;
};

void add_safety_headers(httplib::Response& response)
{
    response.set_header("Cache-Control", "no-store");
    response.set_header("X-Content-Type-Options", "nosniff");
    response.set_header("X-Frame-Options", "DENY");
    response.set_header("Referrer-Policy", "no-referrer");
}

}  // namespace

bool is_own_host_header(std::string_view host_header, int port)
{
    return host_header == "127.0.0.1:" + std::to_string(port);
}

bool tokens_match(std::string_view given, std::string_view expected)
{
    if (given.size() != expected.size())
        return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < given.size(); ++i)
        difference |= static_cast<unsigned char>(given[i] ^ expected[i]);
    return difference == 0;
}

BrowserHost::BrowserHost(std::string page_html, std::filesystem::path page_directory, BridgeTarget& bridge)
    : m_page_html(std::move(page_html)),
      m_page_directory(std::move(page_directory)),
      m_bridge(bridge),
      m_token(random_hex(kTokenBytes)),
      m_server(std::make_unique<httplib::Server>())
{
    install_routes();
}

BrowserHost::~BrowserHost()
{
    stop();
}

void BrowserHost::install_routes()
{
    m_server->new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
    m_server->set_keep_alive_timeout(kKeepAliveSeconds);
    m_server->set_payload_max_length(kMaxRequestBody);
    // Runs before the page's folder is looked at, so the page itself is always
    // the copy read at start, whatever the folder holds now.
    m_server->set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
        Answering answering(*m_watch, peer_of(request));
        add_safety_headers(response);
        // Everything is answered over loopback, where compressing saves no
        // time: the library would compress every script with brotli at its
        // slowest setting, which held the calendar library's 300 KB for
        // seconds at every start. The request object is the server's own,
        // not a constant, so taking the header out is allowed.
        const_cast<httplib::Request&>(request).headers.erase("Accept-Encoding");
        if (!is_own_host_header(request.get_header_value("Host"), m_port)) {
            send_json(response, 403, { { "error", "forbidden" } });
            return httplib::Server::HandlerResponse::Handled;
        }
        if (is_page_request(request)) {
            response.set_content(m_page_html, "text/html; charset=utf-8");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    // The files of the page's folder, and nothing a link in it points at elsewhere.
    m_server->Get(R"(/.+)", [this](const httplib::Request& request, httplib::Response& response) {
        Answering answering(*m_watch, peer_of(request));
        auto file = page_file_for(m_page_directory, request.target);
        try {
            if (file)
                return response.set_content(read_file(*file), page_content_type(*file));
        } catch (const std::exception&) {
        }
        response.status = 404;
    });

    m_server->Post(R"(/api/([^/]+))", [this](const httplib::Request& request, httplib::Response& response) {
        Answering answering(*m_watch, peer_of(request));
        if (!tokens_match(request.get_header_value("X-Wrenfold-Token"), m_token))
            return send_json(response, 403, { { "error", "forbidden" } });
        if (m_first_token_use)
            std::call_once(m_token_used, m_first_token_use);
        const std::string method = request.matches[1];
        if (method.starts_with("_") || !m_bridge.has_method(method))
            return send_json(response, 404, { { "error", "no such method" } });
        Json args = parse_json_or_discarded(request.body);
        if (args.is_discarded() || !args.is_array())
            return send_json(response, 400, { { "error", "the body must be a JSON array" } });
        BridgeReply reply = m_bridge.call(method, args);
        switch (reply.status) {
        case BridgeReply::Status::Ok:
            send_result(response, take_result_text(reply));
            return;
        case BridgeReply::Status::Failed:
            return send_json(response, 500, { { "error", reply.error } });
        case BridgeReply::Status::NoSuchMethod:
            return send_json(response, 404, { { "error", "no such method" } });
        }
    });
}

void BrowserHost::on_first_token_use(std::function<void()> first_use)
{
    m_first_token_use = std::move(first_use);
}

void BrowserHost::start(int port)
{
    if (port == 0) {
        m_port = m_server->bind_to_any_port("127.0.0.1");
        if (m_port < 0)
            throw PlatformError("cannot bind a port on 127.0.0.1");
    } else {
        if (!m_server->bind_to_port("127.0.0.1", port))
            throw PlatformError("cannot bind 127.0.0.1:" + std::to_string(port));
        m_port = port;
    }
    m_watch = std::make_unique<ConnectionWatch>(m_port, kWaitingLimits);
    m_listener_ended = false;
    m_listener = std::thread([this] {
        m_server->listen_after_bind();
        m_listener_ended = true;
    });
}

void BrowserHost::stop()
{
    // The server's stop does nothing until its loop has begun, so a stop that
    // comes right after start waits for the loop (or for its failure) first.
    if (m_listener.joinable()) {
        while (!m_server->is_running() && !m_listener_ended)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        m_server->stop();
        m_listener.join();
    }
    m_watch.reset();
}

std::string BrowserHost::address() const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + "/#token=" + m_token;
}

}  // namespace wrenfold::platform
