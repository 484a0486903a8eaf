#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace wrenfold::platform {

// The file of the page's folder that a request path ("/app.js",
// "/lib/x%20y.css") names, or nothing when it names none: a path that climbs
// out of the folder (by "..", an encoded "/" or a link pointing outside), a
// folder, or a file that is not there.
std::optional<std::filesystem::path> page_file_for(const std::filesystem::path& page_directory,
                                                   std::string_view request_path);

// The content type a page file is served with, by its extension.
std::string page_content_type(const std::filesystem::path& file);

}  // namespace wrenfold::platform
