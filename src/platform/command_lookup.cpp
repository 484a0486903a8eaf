#include "platform/command_lookup.h"

#include <sys/stat.h>
#include <unistd.h>

namespace wrenfold::platform {

bool is_regular_file(const std::string& path)
{
    struct stat info { };
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool is_directory(const std::string& path)
{
    struct stat info { };
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

static bool is_executable_file(const std::string& path)
{
    return is_regular_file(path) && ::access(path.c_str(), X_OK) == 0;
}

std::optional<std::string> find_on_search_path(std::string_view name, std::string_view search_path)
{
    if (name.empty() || name.find('/') != std::string_view::npos)
        return std::nullopt;
    std::size_t begin = 0;
    while (begin <= search_path.size()) {
        std::size_t end = search_path.find(':', begin);
        if (end == std::string_view::npos)
            end = search_path.size();
        std::string folder(search_path.substr(begin, end - begin));
        if (folder.empty())
            folder = ".";
        std::string candidate = folder + (folder.back() == '/' ? "" : "/") + std::string(name);
        if (is_executable_file(candidate))
            return candidate;
        begin = end + 1;
    }
    return std::nullopt;
}

}  // namespace wrenfold::platform
