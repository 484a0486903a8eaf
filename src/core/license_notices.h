#pragma once

#include "core/json.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace wrenfold {

// Turns a licence file's bytes into text (undecodable bytes as U+FFFD).
using TextDecoder = std::string (*)(std::string_view bytes);

// The licence files of one "<name>-<version>.dist-info" folder: their labels
// joined by " · " and the licence text; nothing when the folder holds none.
// A file that exists but cannot be read throws.
std::optional<std::pair<std::string, std::string>> read_license_files(const std::filesystem::path& folder,
                                                                      TextDecoder decode);

// {"items": [{"name", "version", "license_file", "body"}, ...]} for every
// metadata folder of `scan_directory` that holds a licence file, by folder name.
Json third_party_licenses(const std::filesystem::path& scan_directory, TextDecoder decode);

}  // namespace wrenfold
