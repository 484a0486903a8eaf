#include "assistant/turn_folders.h"

#include "core/private_folder.h"

#include <system_error>

namespace wrenfold::assistant {

namespace fs = std::filesystem;

TurnFolders::TurnFolders(const fs::path& temp_root)
{
    m_root = make_private_temp_folder(temp_root, "wrenfold-assistant-");
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
    return is_private_folder_of_ours(m_root) && is_private_folder_of_ours(m_working) &&
        is_private_folder_of_ours(m_prompt);
}

}  // namespace wrenfold::assistant
