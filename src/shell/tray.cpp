// The tray icon: its two-item menu and the quit that ends the program.
#include "app/wrenfold_app.h"

#include "core/log.h"

namespace wrenfold {

void WrenfoldApp::_set_window(std::shared_ptr<AppWindow> window)
{
    std::lock_guard lock(m_shell_mutex);
    _window = std::move(window);
}

void WrenfoldApp::_setup_tray(const TrayFactory& make_tray, std::function<void(int status)> end_process)
{
    auto on_show = [this] {
        std::shared_ptr<AppWindow> window;
        {
            std::lock_guard lock(m_shell_mutex);
            window = _window;
        }
        try {
            if (window)
                window->show();
        } catch (...) {
        }
    };
    auto on_quit = [this, end_process] {
        std::shared_ptr<AppWindow> window;
        std::shared_ptr<TrayIcon> tray;
        {
            std::lock_guard lock(m_shell_mutex);
            window = _window;
            tray = _tray_icon;
        }
        try {
            if (tray)
                tray->stop();
        } catch (...) {
        }
        int status = 0;
        try {
            _shutdown();
        } catch (const std::exception& error) {
            // The user asked to quit and quits; the status says the end was not clean.
            log_line("[GUI] fatal:", error.what());
            status = 1;
        }
        try {
            if (window)
                window->destroy();
        } catch (...) {
        }
        end_process(status);
    };

    std::vector<TrayMenuItem> items;
    items.push_back({ [this] { return _t("tray.show"); }, on_show, true });
    items.push_back({ [this] { return _t("tray.quit"); }, on_quit, false });
    auto tray = make_tray(std::move(items));
    std::lock_guard lock(m_shell_mutex);
    _tray_icon = std::move(tray);
}

}  // namespace wrenfold
