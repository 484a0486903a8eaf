// Services of the desktop the page cannot reach by itself: the default
// browser and the clipboard.
#include "app/wrenfold_app.h"

#include "core/log.h"
#include "platform/browser_launcher.h"
#include "platform/clipboard.h"
#include "shell/link_rules.h"

namespace wrenfold {

using namespace std::chrono_literals;

Json WrenfoldApp::open_url(const Json& url)
{
    if (!url.is_string())
        return false;
    auto link = link_to_open(url.get<std::string>());
    if (!link)
        return false;
    try {
        return platform::open_in_default_browser(*link);
    } catch (...) {
        return false;
    }
}

// Read by the toolkit's thread, never this bridge thread, and given up after
// 5 seconds: an owner that does not answer costs "" and nothing else.
Json WrenfoldApp::read_clipboard()
{
    if (!m_clipboard_available)
        return "";
    try {
        return platform::read_clipboard_text(5s);
    } catch (const std::exception& error) {
        log_line("[read_clipboard]", error.what());
        return "";
    }
}

}  // namespace wrenfold
