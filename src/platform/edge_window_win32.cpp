#include "platform/edge_window.h"

#include "core/wide_text.h"
#include "platform/browser_launcher.h"
#include "platform/command_lookup.h"
#include "platform/win32/process_launch.h"

#include <windows.h>

#include <cstdio>

namespace wrenfold::platform {

namespace fs = std::filesystem;

namespace {

constexpr const wchar_t* kAppPathsKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\msedge.exe";

std::optional<fs::path> registered_path(HKEY root)
{
    wchar_t value[MAX_PATH * 2];
    DWORD size = sizeof value;
    // REG_SZ alone also takes a REG_EXPAND_SZ value, expanded.
    if (::RegGetValueW(root, kAppPathsKey, nullptr, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::wstring path(value);
    // Some installers store the path in quotes.
    if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"')
        path = path.substr(1, path.size() - 2);
    return fs::path(path);
}

std::optional<fs::path> program_files_path(const wchar_t* variable)
{
    wchar_t folder[MAX_PATH];
    DWORD length = ::GetEnvironmentVariableW(variable, folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::nullopt;
    return fs::path(std::wstring(folder, length)) / "Microsoft" / "Edge" / "Application" / "msedge.exe";
}

HWND window_titled(const std::string& title)
{
    return ::FindWindowW(nullptr, to_wide(title).c_str());
}

}  // namespace

std::optional<fs::path> find_edge()
{
    for (auto candidate : { registered_path(HKEY_CURRENT_USER), registered_path(HKEY_LOCAL_MACHINE),
                            program_files_path(L"ProgramFiles(x86)"), program_files_path(L"ProgramFiles"),
                            program_files_path(L"LOCALAPPDATA") }) {
        if (candidate && is_regular_file(from_wide(candidate->wstring())))
            return candidate;
    }
    return std::nullopt;
}

std::string file_url(const fs::path& file)
{
    std::string path = from_wide(fs::absolute(file).wstring());
    std::string url = "file:///";
    for (unsigned char c : path) {
        if (c == '\\')
            c = '/';
        if (std::isalnum(c) || std::string_view("-._~/:").find(static_cast<char>(c)) != std::string_view::npos) {
            url += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            url += escaped;
        }
    }
    return url;
}

std::vector<std::string> edge_app_command(const fs::path& edge, const std::string& page_url,
                                          const fs::path& profile_directory)
{
    return { from_wide(edge.wstring()),
             "--app=" + page_url,
             "--user-data-dir=" + from_wide(profile_directory.wstring()),
             "--no-first-run",
             "--no-default-browser-check",
             "--window-size=1280,720" };
}

EdgeAppWindow::EdgeAppWindow(std::string title, fs::path launch_page, fs::path profile_directory)
    : m_title(std::move(title)),
      m_launch_page(std::move(launch_page)),
      m_profile_directory(std::move(profile_directory))
{
}

EdgeAppWindow::~EdgeAppWindow()
{
    destroy();
}

void EdgeAppWindow::open()
{
    auto edge = find_edge();
    if (!edge) {
        open_in_default_browser(from_wide(m_launch_page.wstring()));
        return;
    }
    LaunchRequest request;
    request.argv = edge_app_command(*edge, file_url(m_launch_page), m_profile_directory);
    request.inherit_environment = true;
    try {
        m_job = launch_process(request).job;
    } catch (const std::exception&) {
        open_in_default_browser(from_wide(m_launch_page.wstring()));
    }
}

void EdgeAppWindow::show()
{
    std::lock_guard guard(m_lock);
    if (HWND window = window_titled(m_title)) {
        ::ShowWindow(window, ::IsIconic(window) ? SW_RESTORE : SW_SHOW);
        ::SetForegroundWindow(window);
        return;
    }
    open();
}

void EdgeAppWindow::hide()
{
    std::lock_guard guard(m_lock);
    if (HWND window = window_titled(m_title))
        ::ShowWindow(window, SW_HIDE);
}

void EdgeAppWindow::destroy()
{
    std::lock_guard guard(m_lock);
    if (m_job.valid())
        ::TerminateJobObject(m_job.get(), 0);
    m_job.reset();
}

}  // namespace wrenfold::platform
