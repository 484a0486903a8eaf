#include "platform/browser_launcher.h"

#include "core/wide_text.h"

#include <windows.h>

#include <shellapi.h>

namespace wrenfold::platform {

bool open_in_default_browser(const std::string& url)
{
    // The shell hands the address to whatever the user chose for its kind;
    // the caller has already kept it to the schemes that may leave.
    auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(nullptr, L"open", to_wide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

}  // namespace wrenfold::platform
