#include "support/caldav_server.h"

#include "caldav/curl_transport.h"
#include "caldav/url.h"
#include "platform/exec_arguments.h"

#ifdef _WIN32
#include <windows.h>
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace wrenfold::testing {
namespace {

#ifdef _WIN32
using socklen_t = int;

// Winsock is started once for the test program and never cleaned up.
void close(SOCKET fd)
{
    ::closesocket(fd);
}

SOCKET open_tcp_socket()
{
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started ? ::socket(AF_INET, SOCK_STREAM, 0) : INVALID_SOCKET;
}
#else
int open_tcp_socket()
{
    return socket(AF_INET, SOCK_STREAM, 0);
}
#endif

int free_loopback_port()
{
    auto fd = open_tcp_socket();
    if (fd == decltype(fd)(-1))
        throw std::runtime_error("socket failed");
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        throw std::runtime_error("could not find a free port");
    }
    close(fd);
    return ntohs(address.sin_port);
}

bool port_answers(int port)
{
    auto fd = open_tcp_socket();
    if (fd == decltype(fd)(-1))
        return false;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

void write_file(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out)
        throw std::runtime_error("could not write " + path.string());
}

std::string xml_escape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += c;
    }
    return out;
}

#ifdef _WIN32
// Under Wine the servers are the Linux programs, in the Linux folders.
bool executable_on_path(const char* name)
{
    return std::filesystem::exists(std::string("/usr/bin/") + name);
}

// The Linux name of a Windows path, through Wine's own conversion; the
// servers' configuration and command lines are read by Linux programs.
std::string server_path(const std::filesystem::path& path)
{
    using Convert = char*(CDECL*)(LPCWSTR);
    auto convert = reinterpret_cast<Convert>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    if (!convert)
        throw std::runtime_error("the CalDAV test servers run only under Wine");
    char* name = convert(path.c_str());
    if (!name)
        throw std::runtime_error("no Linux name for " + path.string());
    std::string text = name;
    HeapFree(GetProcessHeap(), 0, name);
    return text;
}

// Starts a shell command line as a Linux process. Wine starts a Unix
// executable as it does a Windows one but gives no handle to wait on or to
// end it: the server writes its process id into its folder instead.
void run_shell(const std::string& script)
{
    std::wstring command = L"Z:\\bin\\sh -c \"";
    for (char c : script)
        command += static_cast<wchar_t>(static_cast<unsigned char>(c));
    command += L"\"";
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process {};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        throw std::runtime_error("could not start a Linux shell under Wine");
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

std::string single_quoted(const std::string& text)
{
    return "'" + text + "'";
}
#else
bool executable_on_path(const char* name)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0)
            return true;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return false;
}

std::string server_path(const std::filesystem::path& path)
{
    return path.string();
}
#endif

}  // namespace

const char* server_name(CalDavServerKind kind)
{
    switch (kind) {
    case CalDavServerKind::Radicale:
        return "Radicale";
    case CalDavServerKind::Xandikos:
        return "Xandikos";
    case CalDavServerKind::Exact:
        break;
    }
    return "Exact";
}

bool server_installed(CalDavServerKind kind)
{
    if (kind == CalDavServerKind::Exact)
        return executable_on_path("python3");
    return executable_on_path(kind == CalDavServerKind::Radicale ? "radicale" : "xandikos");
}

CalDavTestServer::CalDavTestServer(CalDavServerKind kind, std::string user, std::string password)
    : m_kind(kind),
      m_user(std::move(user)),
      m_password(std::move(password))
{
    m_dir = m_temp.path();
    m_port = free_loopback_port();
    start();
    wait_until_listening();
}

CalDavTestServer::~CalDavTestServer()
{
    stop();
}

void CalDavTestServer::start_again()
{
    if (m_pid > 0)
        return;
    start();
    wait_until_listening();
}

#ifdef _WIN32
void CalDavTestServer::stop()
{
    if (m_pid > 0) {
        const std::string pid = std::to_string(m_pid);
        run_shell("kill -TERM " + pid);
        for (int i = 0; i < 50 && port_answers(m_port); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (port_answers(m_port))
            run_shell("kill -KILL " + pid);
        for (int i = 0; i < 50 && port_answers(m_port); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    m_pid = -1;
}
#else
void CalDavTestServer::stop()
{
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 50 && waitpid(m_pid, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (waitpid(m_pid, &status, WNOHANG) == 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &status, 0);
        }
        m_pid = -1;
    }
}
#endif

std::string CalDavTestServer::root_url() const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + "/";
}

std::string CalDavTestServer::home_url() const
{
    std::string user = caldav::percent_encode_segment(m_user);
    return root_url() + user + (m_kind == CalDavServerKind::Xandikos ? "/calendars/" : "/");
}

void CalDavTestServer::write_rights()
{
    std::string rights = "[root]\nuser: .+\ncollection:\npermissions: R\n\n"
                         "[principal]\nuser: .+\ncollection: {user}\npermissions: RW\n\n";
    for (size_t i = 0; i < m_read_only.size(); ++i)
        rights += "[read-only-" + std::to_string(i) + "]\nuser: .+\ncollection: {user}/" + m_read_only[i] +
            "(/.*)?\npermissions: rR\n\n";
    rights += "[calendars]\nuser: .+\ncollection: {user}/[^/]+(/.*)?\npermissions: rw\n";
    write_file(m_dir / "rights", rights);
}

void CalDavTestServer::start()
{
    std::vector<std::string> args;
    if (m_kind == CalDavServerKind::Radicale) {
        write_file(m_dir / "users", m_user + ":" + m_password + "\n");
        write_rights();
        std::string config = "[server]\nhosts = 127.0.0.1:" + std::to_string(m_port) +
            "\n[auth]\ntype = htpasswd\nhtpasswd_filename = " + server_path(m_dir / "users") +
            "\nhtpasswd_encryption = plain\ndelay = 0\n[rights]\ntype = from_file\nfile = " +
            server_path(m_dir / "rights") + "\n[storage]\nfilesystem_folder = " + server_path(m_dir / "collections") +
            "\n[web]\ntype = none\n[logging]\nlevel = warning\n";
        write_file(m_dir / "config", config);
#ifdef _WIN32
        // Relative to the server's folder, where it starts: Radicale splits
        // --config at colons, and Wine's Linux names hold "c:".
        args = { "radicale", "--config", "config" };
#else
        args = { "radicale", "--config", server_path(m_dir / "config") };
#endif
    } else if (m_kind == CalDavServerKind::Exact) {
        args = { "python3", WRENFOLD_TEST_SUPPORT_DIR "/exact_caldav_server.py", std::to_string(m_port), m_user,
                 m_password };
    } else {
        args = { "xandikos",         "-d",          server_path(m_dir / "data"), "-l",
                 "127.0.0.1",        "-p",          std::to_string(m_port),      "--current-user-principal",
                 "/" + m_user + "/", "--autocreate" };
    }
#ifdef _WIN32
    std::string script = "cd " + single_quoted(server_path(m_dir)) + " && echo $$ >server.pid" +
        "; exec env -i HOME=" + single_quoted(server_path(m_dir)) + " PATH=/usr/bin:/bin LANG=C.UTF-8";
    for (const auto& arg : args)
        script += " " + single_quoted(arg);
    script += " >" + single_quoted(server_path(m_dir / "server.log")) + " 2>&1";
    std::filesystem::remove(m_dir / "server.pid");
    run_shell(script);
    m_pid = 0;  // read from server.pid when the server is stopped
#else
    std::vector<char*> argv = platform::c_strings(args);
    std::string home = "HOME=" + m_dir.string();
    std::vector<std::string> env_text = { home, "PATH=/usr/bin:/bin", "LANG=C.UTF-8" };
    std::vector<char*> envp = platform::c_strings(env_text);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    std::string log = (m_dir / "server.log").string();
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    int rc = posix_spawnp(&m_pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (rc != 0)
        throw std::runtime_error(std::string("could not start ") + server_name(m_kind));
#endif
}

void CalDavTestServer::wait_until_listening()
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
#ifdef _WIN32
    while (std::chrono::steady_clock::now() < deadline) {
        if (port_answers(m_port)) {
            std::ifstream pid_file(m_dir / "server.pid");
            pid_file >> m_pid;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::ifstream log(m_dir / "server.log", std::ios::binary);
    throw std::runtime_error(std::string(server_name(m_kind)) +
                             " did not start listening: " + std::string(std::istreambuf_iterator<char>(log), {}));
#else
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            std::string text;
            if (FILE* log = std::fopen((m_dir / "server.log").c_str(), "rb")) {
                char buffer[4096];
                size_t n = std::fread(buffer, 1, sizeof buffer, log);
                text.assign(buffer, n);
                std::fclose(log);
            }
            throw std::runtime_error(std::string(server_name(m_kind)) + " exited: " + text);
        }
        if (port_answers(m_port))
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    throw std::runtime_error(std::string(server_name(m_kind)) + " did not start listening");
#endif
}

std::string CalDavTestServer::request(const std::string& method, const std::string& url, const std::string& body,
                                      const std::vector<std::pair<std::string, std::string>>& headers, int* status)
{
    caldav::CurlTransport transport;
    caldav::HttpRequest req { method, url, headers, body, caldav::Credentials { m_user, m_password } };
    auto response = transport.perform(req);
    if (status)
        *status = response.status;
    return response.body;
}

std::string CalDavTestServer::create_calendar(const std::string& name, const std::string& display_name,
                                              const std::vector<std::string>& components, const std::string& color)
{
    std::string url = home_url() + caldav::percent_encode_segment(name) + "/";
    std::string body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                       "<c:mkcalendar xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\" "
                       "xmlns:a=\"http://apple.com/ns/ical/\"><d:set><d:prop><d:displayname>" +
        xml_escape(display_name) + "</d:displayname><c:supported-calendar-component-set>";
    for (const auto& component : components)
        body += "<c:comp name=\"" + component + "\"/>";
    body += "</c:supported-calendar-component-set>";
    if (!color.empty())
        body += "<a:calendar-color>" + color + "</a:calendar-color>";
    body += "</d:prop></d:set></c:mkcalendar>";
    int status = 0;
    // Radicale makes the principal on first contact; Xandikos at start.
    request("PROPFIND", root_url(), "", { { "Depth", "0" } }, nullptr);
    request("MKCALENDAR", url, body, { { "Content-Type", "application/xml; charset=utf-8" } }, &status);
    if (status != 201)
        throw std::runtime_error("MKCALENDAR " + url + " answered " + std::to_string(status));
    if (!color.empty()) {  // Xandikos takes the colour only this way
        std::string patch = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                            "<d:propertyupdate xmlns:d=\"DAV:\" xmlns:a=\"http://apple.com/ns/ical/\"><d:set><d:prop>"
                            "<a:calendar-color>" +
            color + "</a:calendar-color></d:prop></d:set></d:propertyupdate>";
        request("PROPPATCH", url, patch, { { "Content-Type", "application/xml; charset=utf-8" } }, &status);
    }
    return url;
}

bool CalDavTestServer::make_read_only(const std::string& name)
{
    if (!supports_read_only())
        return false;
    m_read_only.push_back(name);
    write_rights();  // Radicale reads the rights file on every request
    return true;
}

int CalDavTestServer::delete_resource(const std::string& url)
{
    int status = 0;
    request("DELETE", url, "", {}, &status);
    return status;
}

int CalDavTestServer::put_resource(const std::string& url, const std::string& ics)
{
    int status = 0;
    request("PUT", url, ics, { { "Content-Type", "text/calendar; charset=utf-8" } }, &status);
    return status;
}

std::string CalDavTestServer::get_resource(const std::string& url)
{
    int status = 0;
    std::string body = request("GET", url, "", {}, &status);
    if (status != 200)
        throw std::runtime_error("GET " + url + " answered " + std::to_string(status));
    return body;
}

}  // namespace wrenfold::testing
