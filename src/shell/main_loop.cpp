// The running application: the page shown, the program alive until it is asked to end.
#include "app/bridge_table.h"
#include "app/wrenfold_app.h"
#include "platform/browser_host.h"
#include "platform/browser_launcher.h"

#include <csignal>
#include <iostream>

namespace wrenfold {

namespace {

// Blocks until SIGINT or SIGTERM arrives. The process blocks both signals in
// every thread at start, so they queue up here instead of killing it.
void wait_for_end_signal()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    int received = 0;
    sigwait(&signals, &received);
}

}  // namespace

void WrenfoldApp::run(const std::string& html_content, const LaunchOptions& options)
{
    // The desktop window comes later; until then every start serves the page to a browser.
    AppBridge bridge(*this);
    BrowserHost host(html_content, MODULE_DIR / "html", bridge);
    host.start(options.port);
    std::cout << "Wrenfold is running at " << host.address() << std::endl;
    if (options.open_browser)
        open_in_default_browser(host.address());
    _start_poll_queue();

    wait_for_end_signal();
    host.stop();
    _shutdown();
}

}  // namespace wrenfold
