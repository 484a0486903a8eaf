#include "platform/user_path_store.h"

#include "core/wide_text.h"
#include "platform/platform_error.h"

#include <windows.h>

namespace wrenfold::platform {

namespace {

constexpr const wchar_t* kValueName = L"Path";

}  // namespace

std::string RegistryUserPathStore::read()
{
    std::wstring key = to_wide(m_key);
    // The value may grow between asking its size and reading it: ask again.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD flags = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
        DWORD size = 0;
        if (::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), kValueName, flags, nullptr, nullptr, &size) != ERROR_SUCCESS)
            return "";
        std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
        size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
        LSTATUS status =
            ::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), kValueName, flags, nullptr, value.data(), &size);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            return "";
        value.resize(wcsnlen(value.c_str(), value.size()));
        return from_wide(value);
    }
    return "";
}

void RegistryUserPathStore::write(const std::string& value)
{
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, to_wide(m_key).c_str(), 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                          nullptr, &key, nullptr) != ERROR_SUCCESS)
        throw PlatformError("cannot open the user's environment in the registry");
    std::wstring wide = to_wide(value);
    auto bytes = static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t));
    LSTATUS status =
        ::RegSetValueExW(key, kValueName, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(wide.c_str()), bytes);
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        throw PlatformError("cannot write the user's PATH to the registry");
}

void RegistryUserPathStore::broadcast_change()
{
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"),
                          SMTO_ABORTIFHUNG, kBroadcastTimeoutMs, &result);
}

}  // namespace wrenfold::platform
