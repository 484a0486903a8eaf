#pragma once

#include "core/bridge_call.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace wrenfold::platform {

class ConnectionWatch;

// Serves the page and the bridge to a browser on this machine only:
//   GET /              the page
//   GET /<file>        files of the page's folder (scripts, styles)
//   POST /api/<name>   a bridge call; body: JSON array of arguments;
//                      header X-Wrenfold-Token: the token of this run
// Answers 200 {"result": value}, 500 {"error": text}, 404 for unknown or
// private names, 400 for a body that is not an array, 403 for a wrong token or
// a Host header other than 127.0.0.1:<port> (so that no other site, nor a
// rebound DNS name, can reach it). No CORS headers are ever sent. A
// connection must send each whole request within a deadline, and only so many
// may be waiting for theirs at once, so that slow clients cannot hold every
// worker thread.
class BrowserHost {
public:
    BrowserHost(std::string page_html, std::filesystem::path page_directory, BridgeTarget& bridge);
    ~BrowserHost();
    BrowserHost(const BrowserHost&) = delete;
    BrowserHost& operator=(const BrowserHost&) = delete;

    // Binds 127.0.0.1:`port` (0: a free port) and starts serving on its own
    // threads. Throws when the port cannot be bound.
    void start(int port);
    void stop();
    // Runs `first_use` once, on the thread of the first call that carries the
    // token (the browser has the address by then). Set before `start`.
    void on_first_token_use(std::function<void()> first_use);

    int port() const { return m_port; }
    const std::string& token() const { return m_token; }
    // http://127.0.0.1:PORT/#token=TOKEN
    std::string address() const;

private:
    void install_routes();

    std::string m_page_html;
    std::filesystem::path m_page_directory;
    BridgeTarget& m_bridge;
    std::string m_token;
    std::function<void()> m_first_token_use;
    std::once_flag m_token_used;
    int m_port { 0 };
    std::unique_ptr<httplib::Server> m_server;
    std::unique_ptr<ConnectionWatch> m_watch;
    std::atomic<bool> m_listener_ended { false };
    std::thread m_listener;
};

// Request checks of the host, kept apart for testing.
bool is_own_host_header(std::string_view host_header, int port);
bool tokens_match(std::string_view given, std::string_view expected);

}  // namespace wrenfold::platform
