#include "platform/single_instance.h"

#include <cstdint>
#include <cstdio>

namespace wrenfold::platform {

namespace fs = std::filesystem;

std::string instance_key(const fs::path& data_directory)
{
    std::error_code ignored;
    auto path = fs::weakly_canonical(fs::absolute(data_directory, ignored), ignored).u8string();
    std::uint64_t hash = 1469598103934665603ull;  // FNV-1a
    for (char8_t c : path) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

}  // namespace wrenfold::platform
