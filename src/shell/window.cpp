// The window's own events.
#include "app/wrenfold_app.h"

namespace wrenfold {

// Closing hides the window while the tray can bring it back. Without a tray
// to show the icon a hidden window could never come back, so it closes, and
// the program ends through the shutdown.
bool WrenfoldApp::_on_window_closing()
{
    auto [window, tray] = m_shell.snapshot();
    bool tray_shown = false;
    try {
        tray_shown = tray && tray->shown();
    } catch (...) {
    }
    if (!tray_shown)
        return true;
    try {
        if (window)
            window->hide();
    } catch (...) {
    }
    return false;
}

// The size is never saved: every start opens at 1280 × 720.
void WrenfoldApp::_on_window_resized(int, int)
{
}

}  // namespace wrenfold
