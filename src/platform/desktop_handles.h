#pragma once

#include <functional>
#include <string>

namespace wrenfold::platform {

// The one window of the desktop host; its operations may come from any thread.
class AppWindow {
public:
    virtual ~AppWindow() = default;
    virtual void show() = 0;
    virtual void hide() = 0;
    virtual void destroy() = 0;
};

// One entry of the tray's menu.
struct TrayMenuItem {
    std::function<std::string()> text;  // asked again at every rebuild
    std::function<void()> action;
    bool is_default { false };  // what clicking the icon itself does
};

// The tray icon; its menu texts are asked for again on each rebuild.
class TrayIcon {
public:
    virtual ~TrayIcon() = default;
    virtual void rebuild_menu() = 0;
    virtual void stop() = 0;
    // Whether a tray on the desktop really shows it (asked on the toolkit thread).
    virtual bool shown() const = 0;
};

}  // namespace wrenfold::platform
