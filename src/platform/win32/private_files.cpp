#include "platform/win32/private_files.h"

#include "core/private_folder.h"
#include "platform/platform_error.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/user_security.h"

#include <windows.h>

namespace wrenfold::platform {

namespace fs = std::filesystem;

fs::path make_private_folder()
{
    wchar_t temporary[MAX_PATH + 1];
    DWORD length = ::GetTempPathW(MAX_PATH + 1, temporary);
    if (length == 0)
        throw PlatformError("cannot make a private folder for the browser's start page");
    try {
        return make_private_temp_folder(fs::path(std::wstring(temporary, length)), "wrenfold-open-");
    } catch (const std::exception&) {
        throw PlatformError("cannot make a private folder for the browser's start page");
    }
}

void write_private_file(const fs::path& file, const std::string& text)
{
    PrivateSecurity security;
    UniqueHandle handle(::CreateFileW(file.wstring().c_str(), GENERIC_WRITE, 0,
                                      static_cast<SECURITY_ATTRIBUTES*>(security.get()), CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!handle.valid() ||
        !::WriteFile(handle.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size())
        throw PlatformError("cannot write the browser's start page");
}

}  // namespace wrenfold::platform
