// The end of a run: the settings saved and the other processes told to stop.
#include "app/wrenfold_app.h"
#include "platform/browser_host.h"
#include "platform/single_instance.h"

#include <stdexcept>

namespace wrenfold {

namespace {

template <typename Map> auto find_shared(const Map& map, const std::string& key) -> typename Map::mapped_type
{
    auto found = map.find(key);
    return found != map.end() ? found->second : nullptr;
}

void wake_queue(const platform::QueueMap& queues, const std::string& name)
{
    try {
        if (auto queue = find_shared(queues, name))
            queue->put_nowait(nullptr);
    } catch (...) {
    }
}

}  // namespace

void WrenfoldApp::_end_requests()
{
    _stop = true;
    if (m_transfer_abort)
        m_transfer_abort->abort();
}

// Safe to run twice, even at the same time: each step tolerates repetition.
void WrenfoldApp::_shutdown()
{
    _end_requests();
    _stop_reminders();
    // A chat turn still running would hold the exit up to its time limit and
    // leave its claude child behind; it ends as a cancelled turn.
    try {
        claude_reset_session();
    } catch (...) {
    }
    bool saved = _save_settings();
    // The end signals go out even when the save failed: a full disk must not
    // leave the sync worker running after the application has gone.
    try {
        if (auto end = find_shared(event_all, "end"))
            end->set();
        wake_queue(queue_all, "end");
        wake_queue(queue_all, "get_receipt");
    } catch (...) {
    }
    try {
        auto tray = m_shell.snapshot().tray_icon;
        if (tray)
            tray->stop();
    } catch (...) {
    }
    if (!saved)
        throw std::runtime_error("the settings could not be saved at shutdown");
}

void WrenfoldApp::_stop_browser_host(platform::BrowserHost& host, const LaunchOptions& options)
{
    // A bridge call waiting on a server would hold the host's stop.
    _end_requests();
    // A chat turn still running would hold its bridge call, and so the
    // host's stop, until its time limit.
    claude_reset_session();
    if (options.instance)
        options.instance->stop_serving();
    host.stop();
    _set_clipboard_available(false);
    _shutdown();
}

}  // namespace wrenfold
