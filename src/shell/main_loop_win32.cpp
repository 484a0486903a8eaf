// The running application on Windows: the page served on loopback and shown
// in Edge's app window (or the default browser), the tray, and the program
// alive until it is asked to end.
#include "app/bridge_table.h"
#include "app/wrenfold_app.h"
#include "core/log.h"
#include "core/utf8_path.h"
#include "platform/browser_host.h"
#include "platform/browser_launcher.h"
#include "platform/edge_window.h"
#include "platform/end_signals.h"
#include "platform/launch_page.h"
#include "platform/single_instance.h"
#include "platform/tray_notify_icon.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

namespace wrenfold {

namespace {

// The tray's quit: the process ends at once, whatever other threads are doing.
void end_process_now(int status)
{
    std::cout.flush();
    std::fflush(nullptr);
    std::_Exit(status);
}

// The browser is handed a page in a private folder that forwards to the
// address: the address holds the token, and a command line is readable by
// every process of the session. A browser's page goes once the token is first
// used, or at the end; the window's stays, since the tray's "Show" opens it again.
std::shared_ptr<platform::LaunchPage> prepare_launch_page(platform::BrowserHost& host, bool for_window)
{
    try {
        auto page = std::make_shared<platform::LaunchPage>();
        if (!for_window)
            host.on_first_token_use([page] { page->remove(); });
        return page;
    } catch (const std::exception&) {
        return nullptr;
    }
}

// Reminders as the tray's balloons; the tray outlives nothing it is shared with.
class TrayBalloons final : public platform::Notifier {
public:
    explicit TrayBalloons(std::shared_ptr<platform::NotifyIconTray> tray)
        : m_tray(std::move(tray))
    {
    }
    std::optional<std::uint32_t> show(const platform::DesktopNotification& notification) override
    {
        return m_tray->show(notification);
    }

private:
    std::shared_ptr<platform::NotifyIconTray> m_tray;
};

}  // namespace

void WrenfoldApp::run(const std::string& html_content, const LaunchOptions& options)
{
    AppBridge bridge(*this);
    if (!options.open_file.empty())
        if (auto refusal = _hand_file_to_page(options.open_file))
            std::cout << "Wrenfold cannot open " << utf8_text(options.open_file) << ": " << *refusal << std::endl;
    if (options.browser) {
        _start_reminders();
        _run_browser_host(bridge, html_content, options);
    } else {
        _run_window(bridge, html_content, options);
    }
}

// The window: the tray first, so that reminders show as its balloons; then
// the page served as in browser mode and shown in Edge's app window.
void WrenfoldApp::_run_window(BridgeTarget& bridge, const std::string& html_content, const LaunchOptions& options)
{
    std::shared_ptr<platform::NotifyIconTray> tray;
    _setup_tray(
        [&](std::vector<platform::TrayMenuItem> items) {
            tray = std::make_shared<platform::NotifyIconTray>(
                std::string(APP_NAME), MODULE_DIR / utf8_path("格式範本") / "logo.ico", std::move(items),
                [this](std::uint32_t id, const std::string& action) { _reminder_notification_action(id, action); });
            // Without a notification area yet (Explorer not started) the icon
            // comes when Explorer announces itself.
            if (!tray->shown())
                log_line("[tray]", "the tray icon could not be added; it is added when Explorer starts");
            return tray;
        },
        end_process_now);
    _start_reminders(std::make_unique<TrayBalloons>(tray));
    _run_browser_host(bridge, html_content, options);
    m_shell.with_locked([](ShellHandles& shell) { shell.tray_icon.reset(); });
}

// The page on loopback until the end is asked for. Without --browser it is
// shown in Edge's app window through the launch page (closing that window
// leaves the program in the tray, whose "Show" opens it again, as a second
// start does); with it, the default browser may be sent to the launch page.
void WrenfoldApp::_run_browser_host(BridgeTarget& bridge, const std::string& html_content, const LaunchOptions& options)
{
    // The Windows clipboard is read from any thread.
    _set_clipboard_available(true);
    platform::BrowserHost host(html_content, MODULE_DIR / "html", bridge);
    bool page_wanted = !options.browser || options.open_browser;
    auto launch_page = page_wanted ? prepare_launch_page(host, !options.browser) : nullptr;
    host.start(options.port);
    std::cout << "Wrenfold is running at " << host.address() << std::endl;
    std::shared_ptr<platform::EdgeAppWindow> window;
    if (launch_page) {
        try {
            launch_page->write(host.address());
            if (options.browser) {
                platform::open_in_default_browser(utf8_text(launch_page->path()));
            } else {
                window = std::make_shared<platform::EdgeAppWindow>(std::string(APP_NAME), launch_page->path(),
                                                                   APP_DIR / "webview2_data");
                _set_window(window);
                window->show();
            }
        } catch (const std::exception&) {
            // Opening the page only helps; the printed address still works.
        }
    }
    if (options.instance) {
        if (window)
            options.instance->serve([this, window](std::string_view request) {
                window->show();
                return _answer_later_start(request, platform::window_shown_answer());
            });
        else
            options.instance->serve([this, address = host.address()](std::string_view request) {
                return _answer_later_start(request, platform::address_answer(address));
            });
    }
    _start_poll_queue();

    platform::wait_for_end_request();
    _stop_browser_host(host, options);
    if (window) {
        _set_window(nullptr);
        window->destroy();
    }
}

}  // namespace wrenfold
