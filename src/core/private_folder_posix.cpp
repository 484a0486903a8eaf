#include "core/private_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace wrenfold {
namespace fs = std::filesystem;

void make_private_directories(const fs::path& folder)
{
    fs::create_directories(folder);
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace);
}

fs::path make_private_temp_folder(const fs::path& parent, const std::string& prefix)
{
    std::string pattern = (parent / (prefix + "XXXXXX")).string();
    if (!::mkdtemp(pattern.data()))
        throw std::system_error(errno, std::generic_category(), pattern);
    return pattern;
}

void make_private_folder(const fs::path& folder)
{
    if (::mkdir(folder.c_str(), 0700) != 0)
        throw std::system_error(errno, std::generic_category(), folder.string());
}

bool is_private_folder_of_ours(const fs::path& folder)
{
    struct stat info { };
    return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
        (info.st_mode & 077) == 0;
}

}  // namespace wrenfold
