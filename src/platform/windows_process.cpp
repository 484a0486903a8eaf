#include "platform/windows_process.h"

#include "core/wide_text.h"

#include <windows.h>

#include <dwmapi.h>
#include <shobjidl.h>

#include <cstdio>
#include <io.h>

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

// Whether the standard handle `which` leads somewhere of its own: a file, a
// pipe or a device other than a console (NUL). A console handle or none at
// all is replaced by the parent's console.
bool handed_elsewhere(DWORD which)
{
    HANDLE handle = ::GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return false;
    DWORD type = ::GetFileType(handle);
    DWORD mode = 0;
    return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE ||
        (type == FILE_TYPE_CHAR && !::GetConsoleMode(handle, &mode));
}

void reopen_on_console(DWORD which, const wchar_t* device, const wchar_t* mode, FILE* stream)
{
    if (!::_wfreopen(device, mode, stream))
        return;
    ::SetStdHandle(which, reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream))));
}

}  // namespace

void use_parent_console()
{
    bool input = handed_elsewhere(STD_INPUT_HANDLE);
    bool output = handed_elsewhere(STD_OUTPUT_HANDLE);
    bool error = handed_elsewhere(STD_ERROR_HANDLE);
    if (!::AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (!input)
        reopen_on_console(STD_INPUT_HANDLE, L"CONIN$", L"r", stdin);
    if (!output)
        reopen_on_console(STD_OUTPUT_HANDLE, L"CONOUT$", L"w", stdout);
    if (!error)
        reopen_on_console(STD_ERROR_HANDLE, L"CONOUT$", L"w", stderr);
    ::SetConsoleOutputCP(CP_UTF8);
}

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
