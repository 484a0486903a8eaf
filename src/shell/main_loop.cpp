// The running application: the page shown, the program alive until it is asked to end.
#include "app/bridge_table.h"
#include "app/wrenfold_app.h"
#include "core/utf8_path.h"
#include "platform/browser_host.h"
#include "platform/browser_launcher.h"
#include "platform/launch_page.h"
#include "platform/single_instance.h"
#include "platform/toolkit.h"
#include "platform/tray_indicator.h"
#include "platform/webview_window.h"

#include <glib-unix.h>
#include <gtk/gtk.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <thread>
#include <vector>

namespace wrenfold {

using namespace std::chrono_literals;

namespace {

sigset_t end_signals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

// Blocks until SIGINT or SIGTERM arrives. The process blocks both signals in
// every thread at start, so they queue up here instead of killing it.
void wait_for_end_signal()
{
    sigset_t signals = end_signals();
    int received = 0;
    sigwait(&signals, &received);
}

// The tray's quit: the process ends at once, whatever other threads are doing.
void end_process_now(int status)
{
    std::cout.flush();
    std::fflush(nullptr);
    std::_Exit(status);
}

bool developer_tools_asked()
{
    const char* value = std::getenv("WRENFOLD_DEVTOOLS");
    return value && std::string_view(value) == "1";
}

// The browser is handed a page in a private folder that forwards to the
// address: the address holds the token, and a command line is readable by
// every user of the machine. The page goes once the token is first used, or
// at the end.
std::shared_ptr<platform::LaunchPage> prepare_launch_page(platform::BrowserHost& host)
{
    try {
        auto page = std::make_shared<platform::LaunchPage>();
        host.on_first_token_use([page] { page->remove(); });
        return page;
    } catch (const std::exception&) {
        return nullptr;
    }
}

void open_through_launch_page(platform::LaunchPage& page, const platform::BrowserHost& host)
{
    try {
        page.write(host.address());
        platform::open_in_default_browser(page.path().string());
    } catch (const std::exception&) {
        // Opening the browser only helps; the printed address still works.
    }
}

// SIGINT and SIGTERM end the toolkit's loop, and run shuts down as after any
// other end. GLib's handlers only wake the loop; the toolkit thread takes the
// signals for as long as the loop runs (libraries may start threads of their
// own, so a signalfd on a mask that every thread blocks cannot be relied on).
// Made before the window, so that the web view's helper processes, started
// from this thread, do not inherit the two signals blocked.
class EndSignalWatch {
public:
    EndSignalWatch()
    {
        for (int signal : { SIGINT, SIGTERM })
            m_sources.push_back(g_unix_signal_add(signal, on_signal, nullptr));
        sigset_t signals = end_signals();
        pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    }
    ~EndSignalWatch()
    {
        sigset_t signals = end_signals();
        pthread_sigmask(SIG_BLOCK, &signals, nullptr);
        for (guint source : m_sources)
            g_source_remove(source);
    }
    EndSignalWatch(const EndSignalWatch&) = delete;
    EndSignalWatch& operator=(const EndSignalWatch&) = delete;

private:
    static gboolean on_signal(gpointer)
    {
        if (gtk_main_level() > 0)
            gtk_main_quit();
        return G_SOURCE_CONTINUE;
    }

    std::vector<guint> m_sources;
};

}  // namespace

void WrenfoldApp::run(const std::string& html_content, const LaunchOptions& options)
{
    AppBridge bridge(*this);
    bool window_mode = !options.browser;
    g_set_prgname("wrenfold");  // the window's class, which the desktop entry names
    if (window_mode && !platform::display_named_in_environment()) {
        std::cout << "No display found (DISPLAY and WAYLAND_DISPLAY are unset); serving the page to a browser instead."
                  << std::endl;
        window_mode = false;
    } else if (window_mode && !gtk_init_check(nullptr, nullptr)) {
        std::cout << "The display cannot be opened; serving the page to a browser instead." << std::endl;
        window_mode = false;
    }
    _start_reminders();
    if (!options.open_file.empty())
        if (auto refusal = _hand_file_to_page(options.open_file))
            std::cout << "Wrenfold cannot open " << options.open_file.string() << ": " << *refusal << std::endl;
    if (window_mode)
        _run_window(bridge, html_content, options);
    else
        _run_browser_host(bridge, html_content, options);
}

void WrenfoldApp::_run_browser_host(BridgeTarget& bridge, const std::string& html_content, const LaunchOptions& options)
{
    // On a desktop the clipboard is still read through the toolkit, on a thread of its own.
    std::unique_ptr<platform::BackgroundToolkit> toolkit;
    if (platform::display_named_in_environment())
        toolkit = platform::BackgroundToolkit::start();
    _set_clipboard_available(toolkit != nullptr);

    platform::BrowserHost host(html_content, MODULE_DIR / "html", bridge);
    auto launch_page = options.open_browser ? prepare_launch_page(host) : nullptr;
    host.start(options.port);
    std::cout << "Wrenfold is running at " << host.address() << std::endl;
    if (options.instance)
        options.instance->serve([this, address = host.address()](std::string_view request) {
            return _answer_later_start(request, platform::address_answer(address));
        });
    if (launch_page)
        open_through_launch_page(*launch_page, host);
    _start_poll_queue();

    wait_for_end_signal();
    _stop_browser_host(host, options);
}

void WrenfoldApp::_run_window(BridgeTarget& bridge, const std::string& html_content, const LaunchOptions& options)
{
    EndSignalWatch end_signals;
    platform::WindowSettings window_settings;
    window_settings.title = std::string(APP_NAME);
    window_settings.background = "#0d0f14";
    window_settings.icon_file = MODULE_DIR / utf8_path("格式範本") / "logo.ico";
    window_settings.profile_directory = APP_DIR / "webview2_data";
    window_settings.page_html = html_content;
    window_settings.page_directory = MODULE_DIR / "html";
    window_settings.developer_tools = developer_tools_asked();

    platform::WebViewWindow::Handlers handlers;
    handlers.closing = [this] { return _on_window_closing(); };
    handlers.open_link = [this](const std::string& uri) { open_url(uri); };
    handlers.text = [this](std::string_view key) { return _t(key); };
    auto window = std::make_shared<platform::WebViewWindow>(window_settings, bridge, std::move(handlers));
    _set_window(window);
    _set_clipboard_available(true);

    std::filesystem::path runtime_directory = APP_DIR / "runtime";
    _setup_tray(
        [&](std::vector<platform::TrayMenuItem> items) {
            return std::make_shared<platform::IndicatorTray>(std::string(APP_NAME), std::string(APP_NAME),
                                                             window_settings.icon_file, runtime_directory,
                                                             std::move(items));
        },
        end_process_now);

    _start_poll_queue();

    std::thread post_start([this] {
        std::this_thread::sleep_for(600ms);
        _apply_dark_titlebar();
    });
    if (options.instance)
        options.instance->serve([this, window](std::string_view request) {
            window->show();
            return _answer_later_start(request, platform::window_shown_answer());
        });

    window->run_event_loop();

    if (options.instance)
        options.instance->stop_serving();
    post_start.join();
    _set_clipboard_available(false);
    _shutdown();
    // The window waits here for bridge calls still running.
    _set_window(nullptr);
    window.reset();
    m_shell.with_locked([](ShellHandles& shell) { shell.tray_icon.reset(); });
}

}  // namespace wrenfold
