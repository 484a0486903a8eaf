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

// The UTF-8 text of a path, the way back: path::string() on Windows gives the
// ANSI code page, and fails on what it cannot hold (a folder named 陳小明).
inline std::string utf8_text(const std::filesystem::path& path)
{
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace wrenfold
