#pragma once

#include "platform/desktop_handles.h"
#include "platform/win32/unique_handle.h"

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace wrenfold::platform {

// The system's Edge: the App Paths entry of msedge.exe (the user's, then the
// machine's), else its usual folders under Program Files.
std::optional<std::filesystem::path> find_edge();

// file:///C:/... for a local file, every byte outside the unreserved set of
// a URL path percent-encoded (a user folder may hold spaces or Chinese).
std::string file_url(const std::filesystem::path& file);

// Edge as an app window (no tabs, no address bar) on `page_url`, with its
// profile in `profile_directory` so that it is kept apart from the user's
// own browsing and kept from start to start.
std::vector<std::string> edge_app_command(const std::filesystem::path& edge, const std::string& page_url,
                                          const std::filesystem::path& profile_directory);

// The window of the page on Windows: Edge in app mode on the launch page (the
// page's address with its token is only in that file, never on a command
// line), or the default browser on the launch page when there is no Edge.
// Edge's own close button ends that window; the program lives on in the
// tray, and show() opens the page again or brings its window forward.
class EdgeAppWindow final : public AppWindow {
public:
    EdgeAppWindow(std::string title, std::filesystem::path launch_page, std::filesystem::path profile_directory);
    ~EdgeAppWindow() override;
    EdgeAppWindow(const EdgeAppWindow&) = delete;
    EdgeAppWindow& operator=(const EdgeAppWindow&) = delete;

    void show() override;
    void hide() override;
    void destroy() override;

private:
    void open();

    std::string m_title;
    std::filesystem::path m_launch_page;
    std::filesystem::path m_profile_directory;
    std::mutex m_lock;
    UniqueHandle m_job;  // the Edge we started, and what it started
};

}  // namespace wrenfold::platform
