#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace wrenfold::testing {

inline void write_text(const std::filesystem::path& path, const std::string& text)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string read_text(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

}  // namespace wrenfold::testing

namespace wrenfold::testing {

// A file with the given permission bits, e.g. 0755 for a stand-in program.
inline void write_text_with_mode(const std::filesystem::path& path, const std::string& text,
                                 std::filesystem::perms mode)
{
    write_text(path, text);
    std::filesystem::permissions(path, mode, std::filesystem::perm_options::replace);
}

}  // namespace wrenfold::testing
