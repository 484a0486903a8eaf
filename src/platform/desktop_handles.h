#pragma once

namespace wrenfold {

// The one window of the desktop host; its operations may come from any thread.
class AppWindow {
public:
    virtual ~AppWindow() = default;
    virtual void show() = 0;
    virtual void hide() = 0;
    virtual void destroy() = 0;
};

// The tray icon; its menu texts are asked for again on each rebuild.
class TrayIcon {
public:
    virtual ~TrayIcon() = default;
    virtual void rebuild_menu() = 0;
    virtual void stop() = 0;
};

}  // namespace wrenfold
