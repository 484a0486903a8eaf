#include "core/app_paths.h"

#include <cstdlib>
#include <stdexcept>

namespace wrenfold {
namespace fs = std::filesystem;

fs::path data_directory_from(const char* xdg_data_home, const char* home)
{
    if (xdg_data_home && fs::path(xdg_data_home).is_absolute())
        return fs::path(xdg_data_home) / "kelvane" / "Wrenfold";
    if (!home || !*home)
        throw std::runtime_error("neither XDG_DATA_HOME nor HOME is set");
    return fs::path(home) / ".local" / "share" / "kelvane" / "Wrenfold";
}

fs::path executable_directory()
{
    return fs::canonical("/proc/self/exe").parent_path();
}

AppPaths AppPaths::for_this_process()
{
    return { data_directory_from(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")), executable_directory() };
}

}  // namespace wrenfold
