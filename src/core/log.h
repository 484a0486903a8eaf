#pragma once

#include <string_view>

namespace wrenfold {

// Diagnostics are single lines on standard output, flushed at once, e.g.
// log_line("save_settings:", error_text). Lines from several threads never interleave.
void log_line(std::string_view prefix, std::string_view text);

}  // namespace wrenfold
