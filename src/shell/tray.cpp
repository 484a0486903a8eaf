// The tray icon: its two-item menu and the quit that ends the program.
#include "app/wrenfold_app.h"

#include "core/log.h"

namespace wrenfold {

void WrenfoldApp::_set_window(std::shared_ptr<platform::AppWindow> window)
{
    m_shell.with_locked([&](ShellHandles& shell) { shell.window = std::move(window); });
}

void WrenfoldApp::_setup_tray(const TrayFactory& make_tray, std::function<void(int status)> end_process)
{
    auto on_show = [this] {
        auto window = m_shell.snapshot().window;
        try {
            if (window)
                window->show();
        } catch (...) {
        }
    };
    auto on_quit = [this, end_process] {
        auto [window, tray] = m_shell.snapshot();
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

    std::vector<platform::TrayMenuItem> items;
    items.push_back({ [this] { return _t("tray.show"); }, on_show, true });
    items.push_back({ [this] { return _t("tray.quit"); }, on_quit, false });
    auto tray = make_tray(std::move(items));
    m_shell.with_locked([&](ShellHandles& shell) { shell.tray_icon = std::move(tray); });
}

}  // namespace wrenfold
