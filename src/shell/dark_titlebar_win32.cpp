// The window's title bar in the dark style, where the window is ours to style.
#include "app/wrenfold_app.h"

#include "platform/windows_process.h"

namespace wrenfold {

void WrenfoldApp::_apply_dark_titlebar()
{
    try {
        platform::apply_dark_title_bar(std::string(APP_NAME));
    } catch (...) {
    }
}

}  // namespace wrenfold
