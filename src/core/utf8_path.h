#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace wrenfold {

// A path from UTF-8 text. The Windows build's standard library reads a plain
// char string in the ANSI code page, which turns 格式範本 into another name.
inline std::filesystem::path utf8_path(std::string_view text)
{
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

}  // namespace wrenfold
