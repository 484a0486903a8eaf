#include "assistant/turn_folders.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace wrenfold::assistant {

namespace fs = std::filesystem;

namespace {

void make_private_folder(const fs::path& path)
{
    if (::mkdir(path.c_str(), 0700) != 0)
        throw std::system_error(errno, std::generic_category(), path.string());
}

bool private_folder_of_ours(const fs::path& path)
{
    struct stat info { };
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
        (info.st_mode & 077) == 0;
}

}  // namespace

TurnFolders::TurnFolders(const fs::path& temp_root)
{
    std::string pattern = (temp_root / "wrenfold-assistant-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::system_error(errno, std::generic_category(), pattern);
    m_root = pattern;
    m_working = m_root / "work";
    m_prompt = m_root / "prompt";
    try {
        make_private_folder(m_working);
        make_private_folder(m_prompt);
    } catch (...) {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
        throw;
    }
}

TurnFolders::~TurnFolders()
{
    std::error_code ignored;
    fs::remove_all(m_root, ignored);
}

bool TurnFolders::intact() const
{
    return private_folder_of_ours(m_root) && private_folder_of_ours(m_working) && private_folder_of_ours(m_prompt);
}

}  // namespace wrenfold::assistant
