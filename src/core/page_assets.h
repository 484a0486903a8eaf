#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace wrenfold {

// Standard Base64 (RFC 4648 alphabet, "=" padding, no line breaks).
std::string base64_encode(std::string_view bytes);

// "data:image/<subtype>;base64,<bytes>": the subtype is the file name's
// extension in lower case, "ico" becoming "x-icon".
std::string image_data_url(const std::string& file_name, std::string_view bytes);

// The data URL of a picture file, or "" when no regular file is there.
// A file that exists but cannot be read throws.
std::string image_file_data_url(const std::filesystem::path& path);

// The text of html/index.html in `module_directory`; throws when it is missing.
std::string load_html_content(const std::filesystem::path& module_directory);

}  // namespace wrenfold
