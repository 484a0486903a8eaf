#pragma once

#include <functional>
#include <memory>
#include <thread>

namespace wrenfold::platform {

// True when the environment names a display (DISPLAY or WAYLAND_DISPLAY).
bool display_named_in_environment();

// Queues `work` for the thread that runs GTK's main loop. GTK may only be
// touched from that thread; everything else hands its window work over here.
void run_on_toolkit_thread(std::function<void()> work);

// GTK running on a thread of its own, for a process that shows no window but
// still reads the clipboard (the browser host on a desktop).
class BackgroundToolkit {
public:
    // Nothing when GTK cannot open the display.
    static std::unique_ptr<BackgroundToolkit> start();
    ~BackgroundToolkit();
    BackgroundToolkit(const BackgroundToolkit&) = delete;
    BackgroundToolkit& operator=(const BackgroundToolkit&) = delete;

private:
    BackgroundToolkit() = default;
    std::thread m_thread;
};

}  // namespace wrenfold::platform
