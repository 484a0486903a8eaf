#pragma once

#include "core/bridge_call.h"
#include "platform/desktop_handles.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace wrenfold::platform {

// The page's own address in the window; nothing else may load there.
inline constexpr std::string_view kPageOrigin = "wrenfold://app";
bool is_own_page_uri(std::string_view uri);
// A file the page itself made (a blob of its origin), which it may download.
bool is_own_download_uri(std::string_view uri);

struct WindowSettings {
    std::string title;
    int width { 1280 };
    int height { 720 };
    int min_width { 600 };
    int min_height { 400 };
    std::string background;                   // "#rrggbb", shown before the page paints
    std::filesystem::path icon_file;          // used when it exists
    std::filesystem::path profile_directory;  // the web view's cookies, storage and cache
    std::string page_html;                    // served as index.html
    std::filesystem::path page_directory;     // the page's scripts, styles and pictures
    bool developer_tools { false };
};

// The desktop window: a WebKitGTK view of the page whose script bridge is
// `bridge`. The page posts {id, method, args} to the "wrenfold" message
// handler; each call runs on a worker thread of its own and is answered with
// window.wrenfold._settle(id, ok, value) on the toolkit thread. A file the
// page downloads (an export) is saved where the user says in a save dialog.
//
// Created, run and destroyed on the toolkit thread (after gtk_init); show,
// hide, destroy and quit_loop may be called from any thread.
class WebViewWindow final : public AppWindow {
public:
    struct Handlers {
        // The user asks to close; true lets the window go, false keeps it.
        std::function<bool()> closing;
        // Where the page tried to go instead of staying; it never opens here.
        std::function<void(const std::string& uri)> open_link;
        // The window's own texts in the interface language ("save.title",
        // "save.filter"); the key itself when unset.
        std::function<std::string(std::string_view key)> text;
    };

    WebViewWindow(const WindowSettings& settings, BridgeTarget& bridge, Handlers handlers);
    // Waits for bridge calls still running: they may use the bridge target.
    ~WebViewWindow() override;
    WebViewWindow(const WebViewWindow&) = delete;
    WebViewWindow& operator=(const WebViewWindow&) = delete;

    void show() override;
    void hide() override;
    void destroy() override;

    // Blocks in the toolkit's loop until the window is destroyed or quit_loop is called.
    void run_event_loop();
    void quit_loop();

    struct State;

private:
    std::shared_ptr<State> m_state;
};

}  // namespace wrenfold::platform
