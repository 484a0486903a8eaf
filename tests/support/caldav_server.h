#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

#include "support/temp_dir.h"

namespace wrenfold::testing {

// Exact: tests/support/exact_caldav_server.py, which stores every object
// byte for byte as it was sent, as iCloud does; Radicale and Xandikos write
// objects back in forms of their own.
enum class CalDavServerKind { Radicale, Xandikos, Exact };

const char* server_name(CalDavServerKind kind);

// Whether the server's program is installed.
bool server_installed(CalDavServerKind kind);

// A real CalDAV server on 127.0.0.1, on a free port, in a temporary
// directory, for one user whose name is an e-mail address. Started by the
// constructor (which waits until it answers) and stopped by the destructor.
class CalDavTestServer {
public:
    explicit CalDavTestServer(CalDavServerKind kind, std::string user = "alice@example.com",
                              std::string password = "app-secret-1234");
    ~CalDavTestServer();
    CalDavTestServer(const CalDavTestServer&) = delete;
    CalDavTestServer& operator=(const CalDavTestServer&) = delete;

    CalDavServerKind kind() const { return m_kind; }
    const std::string& user() const { return m_user; }
    const std::string& password() const { return m_password; }
    // "http://127.0.0.1:PORT/": what WRENFOLD_CALDAV_URL is set to.
    std::string root_url() const;
    // The user's calendar home, "%40" in place of "@".
    std::string home_url() const;

    // MKCALENDAR below the home; returns the calendar's URL (with a final "/").
    std::string create_calendar(const std::string& name, const std::string& display_name,
                                const std::vector<std::string>& components = { "VEVENT" },
                                const std::string& color = "");
    bool supports_read_only() const { return m_kind == CalDavServerKind::Radicale; }
    // Xandikos 0.2.8 keeps every collection open to all components.
    bool supports_component_sets() const { return m_kind == CalDavServerKind::Radicale; }
    // Takes away the user's write access to one calendar; false when the
    // server cannot do that.
    bool make_read_only(const std::string& name);
    // PUT of raw iCalendar text; returns the HTTP status.
    int put_resource(const std::string& url, const std::string& ics);
    std::string get_resource(const std::string& url);

    // Stops the server process, keeping its data; start_again brings it back
    // on the same port.
    void stop();
    void start_again();

private:
    void start();
    void wait_until_listening();
    void write_rights();
    std::string request(const std::string& method, const std::string& url, const std::string& body,
                        const std::vector<std::pair<std::string, std::string>>& headers, int* status);

    CalDavServerKind m_kind;
    std::string m_user;
    std::string m_password;
    TempDir m_temp;
    std::filesystem::path m_dir;
    int m_port = 0;
    pid_t m_pid = -1;
    std::vector<std::string> m_read_only;
};

}  // namespace wrenfold::testing
