#include "platform/environment.h"

#include "core/wide_text.h"

#include <windows.h>

namespace wrenfold::platform {

// The process's own environment through the wide functions, so that values
// outside the ANSI code page (a home folder in Chinese) survive.
std::optional<std::string> ProcessEnvironment::get(const std::string& name) const
{
    std::lock_guard guard(m_lock);
    std::wstring wide_name = to_wide(name);
    ::SetLastError(ERROR_SUCCESS);
    DWORD needed = ::GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0);
    if (needed == 0)
        return ::GetLastError() == ERROR_ENVVAR_NOT_FOUND ? std::nullopt : std::optional<std::string>("");
    std::wstring value(needed, L'\0');
    value.resize(::GetEnvironmentVariableW(wide_name.c_str(), value.data(), needed));
    return from_wide(value);
}

void ProcessEnvironment::set(const std::string& name, const std::string& value)
{
    std::lock_guard guard(m_lock);
    ::SetEnvironmentVariableW(to_wide(name).c_str(), to_wide(value).c_str());
}

std::vector<std::string> ProcessEnvironment::snapshot() const
{
    std::lock_guard guard(m_lock);
    std::vector<std::string> entries;
    wchar_t* block = ::GetEnvironmentStringsW();
    if (!block)
        return entries;
    for (const wchar_t* entry = block; *entry; entry += wcslen(entry) + 1) {
        // Entries such as "=C:=C:\\" keep the current folder of each drive;
        // they are no variables.
        if (*entry != L'=')
            entries.push_back(from_wide(entry));
    }
    ::FreeEnvironmentStringsW(block);
    return entries;
}

}  // namespace wrenfold::platform
