#include "core/app_paths.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdlib>
#include <stdexcept>
#include <string>

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

#ifdef _WIN32
fs::path executable_directory()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD size = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (size == 0)
            throw std::runtime_error("cannot find the running executable");
        if (size < path.size()) {
            path.resize(size);
            return fs::path(path).parent_path();
        }
        path.resize(path.size() * 2);
    }
}

AppPaths AppPaths::for_this_process()
{
    return { fs::path(L"C:/kelvane/Wrenfold"), executable_directory() };
}
#else
fs::path executable_directory()
{
    return fs::canonical("/proc/self/exe").parent_path();
}

AppPaths AppPaths::for_this_process()
{
    return { data_directory_from(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")), executable_directory() };
}
#endif

}  // namespace wrenfold
