#pragma once

#include <filesystem>

namespace wrenfold {

// Where the application keeps its stores and where its installed data (html/,
// 格式範本/, architecture/) lies.
struct AppPaths {
    std::filesystem::path data_directory;
    std::filesystem::path module_directory;

    // $XDG_DATA_HOME/kelvane/Wrenfold when XDG_DATA_HOME is set and absolute,
    // else $HOME/.local/share/kelvane/Wrenfold (C:/kelvane/Wrenfold on
    // Windows); the module directory is the folder of the running executable.
    static AppPaths for_this_process();
};

// The data directory rule above, for the given environment values (null when unset).
std::filesystem::path data_directory_from(const char* xdg_data_home, const char* home);

// The folder that holds the running executable.
std::filesystem::path executable_directory();

}  // namespace wrenfold
