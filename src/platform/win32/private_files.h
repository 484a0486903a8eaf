#pragma once

#include <filesystem>
#include <string>

namespace wrenfold::platform {

// The launch page's folder and file on Windows, open to this user only.
// Both throw PlatformError when they cannot be made.
std::filesystem::path make_private_folder();
void write_private_file(const std::filesystem::path& file, const std::string& text);

}  // namespace wrenfold::platform
