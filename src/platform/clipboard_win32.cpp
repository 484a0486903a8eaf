#include "platform/clipboard.h"

#include "core/wide_text.h"

#include <windows.h>

#include <thread>

namespace wrenfold::platform {

namespace {

// Only one program opens the clipboard at a time; another may hold it for a
// moment.
bool open_clipboard_within(std::chrono::milliseconds limit)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!::OpenClipboard(nullptr)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace

std::string read_clipboard_text(std::chrono::milliseconds limit)
{
    if (!::IsClipboardFormatAvailable(CF_UNICODETEXT) || !open_clipboard_within(limit))
        return "";
    std::string text;
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* wide = static_cast<const wchar_t*>(::GlobalLock(data))) {
            // The block may be bigger than its text, and another program's
            // text may lack its terminating zero.
            std::size_t capacity = ::GlobalSize(data) / sizeof(wchar_t);
            text = from_wide(std::wstring_view(wide, wcsnlen(wide, capacity)));
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    return text;
}

}  // namespace wrenfold::platform
