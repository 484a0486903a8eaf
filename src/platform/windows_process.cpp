#include "platform/windows_process.h"

#include "core/wide_text.h"

#include <windows.h>

#include <dwmapi.h>
#include <shobjidl.h>

namespace wrenfold::platform {

namespace {

// shcore is not on every Windows the program meets, so its function is
// looked up rather than linked.
bool set_per_monitor_dpi_awareness()
{
    HMODULE shcore = ::LoadLibraryW(L"shcore.dll");
    if (!shcore)
        return false;
    using SetAwareness = HRESULT(WINAPI*)(int);
    auto set_awareness =
        reinterpret_cast<SetAwareness>(reinterpret_cast<void*>(::GetProcAddress(shcore, "SetProcessDpiAwareness")));
    constexpr int kPerMonitorAware = 2;
    bool done = set_awareness && SUCCEEDED(set_awareness(kPerMonitorAware));
    ::FreeLibrary(shcore);
    return done;
}

}  // namespace

void prepare_windows_process()
{
    ::SetCurrentProcessExplicitAppUserModelID(kAppUserModelId);
    if (!set_per_monitor_dpi_awareness())
        ::SetProcessDPIAware();
}

void apply_dark_title_bar(const std::string& title)
{
    HWND window = ::FindWindowW(nullptr, to_wide(title).c_str());
    if (!window)
        return;
    // 20 is the attribute of current Windows 10 and 11 builds, 19 the one
    // earlier Windows 10 builds used; both are tried.
    BOOL dark = TRUE;
    for (DWORD attribute : { 20u, 19u })
        ::DwmSetWindowAttribute(window, attribute, &dark, sizeof dark);
}

}  // namespace wrenfold::platform
