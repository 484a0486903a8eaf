#include "core/wide_text.h"

#include <windows.h>

#include <limits>
#include <stdexcept>

namespace wrenfold {

namespace {

int checked_length(std::size_t size)
{
    if (size > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        throw std::length_error("text too long to convert");
    return static_cast<int>(size);
}

}  // namespace

std::wstring to_wide(std::string_view text)
{
    if (text.empty())
        return {};
    int length = checked_length(text.size());
    int needed = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, wide.data(), needed);
    return wide;
}

std::string from_wide(std::wstring_view text)
{
    if (text.empty())
        return {};
    int length = checked_length(text.size());
    int needed = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(needed), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, narrow.data(), needed, nullptr, nullptr);
    return narrow;
}

}  // namespace wrenfold
