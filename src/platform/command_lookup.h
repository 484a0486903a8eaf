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

#ifdef _WIN32
// Windows' lookup: on Windows the two-argument form above is this one with
// the process's PATHEXT. The current folder first, then each ";"-separated
// entry (quotes around an entry dropped, empty entries skipped). A name that
// ends in one of `path_extensions` (";"-separated, compared without case) is
// tried as it is, any other name with each extension appended in their order,
// so an extensionless file of that name is never taken. A name with a folder
// in it is not looked up.
std::optional<std::string> find_on_search_path(std::string_view name, std::string_view search_path,
                                               std::string_view path_extensions);
#endif

}  // namespace wrenfold::platform
