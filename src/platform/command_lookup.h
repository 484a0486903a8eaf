#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace wrenfold::platform {

bool is_regular_file(const std::string& path);
bool is_directory(const std::string& path);

// The platform's command lookup: each entry of the colon-separated search
// path in order (an empty entry is the current folder, as POSIX shells have
// it); the first regular file of that name with execute permission wins.
// A name containing "/" is not looked up.
std::optional<std::string> find_on_search_path(std::string_view name, std::string_view search_path);

}  // namespace wrenfold::platform
