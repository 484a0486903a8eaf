#pragma once

#include <filesystem>

namespace wrenfold::assistant {

// This run's private folder for chat turns (0700, made anew under the
// temporary folder, removed with this object): an empty working folder the
// child starts in, and a folder that holds nothing but the runtime prompt
// file when the rules folder cannot be written. The assistant may read these;
// the data folder, which holds accounts and keys, is never among them.
class TurnFolders {
public:
    // Throws std::system_error when the folder cannot be made.
    explicit TurnFolders(const std::filesystem::path& temp_root);
    ~TurnFolders();
    TurnFolders(const TurnFolders&) = delete;
    TurnFolders& operator=(const TurnFolders&) = delete;

    const std::filesystem::path& working() const { return m_working; }
    const std::filesystem::path& prompt() const { return m_prompt; }

    // Whether the folder is still ours and private (a temp cleaner may have
    // taken it meanwhile).
    bool intact() const;

private:
    std::filesystem::path m_root;
    std::filesystem::path m_working;
    std::filesystem::path m_prompt;
};

}  // namespace wrenfold::assistant
