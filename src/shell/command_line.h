#pragma once

#include "app/launch_options.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace wrenfold {

// --browser, --port N (0 or absent: a free port), --no-open, --help,
// --version, and at most one file to import: a path or a file:// URI (as a
// desktop passes with %u). After "--" the next word is a path even when it
// begins with "-". Throws std::invalid_argument for anything else.
LaunchOptions parse_command_line(int argc, const char* const* argv);
// The local path a file:// URI names (percent-escapes decoded, host empty or
// "localhost"); throws std::invalid_argument for any other URI.
std::filesystem::path path_of_file_uri(std::string_view uri);
std::string usage_text();
std::string help_text();
std::string version_text();

}  // namespace wrenfold
