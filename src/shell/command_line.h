#pragma once

#include "app/launch_options.h"

#include <string>

namespace wrenfold {

// --browser, --port N (0 or absent: a free port), --no-open, --help,
// --version. Throws std::invalid_argument for anything else.
LaunchOptions parse_command_line(int argc, const char* const* argv);
std::string usage_text();
std::string help_text();
std::string version_text();

}  // namespace wrenfold
