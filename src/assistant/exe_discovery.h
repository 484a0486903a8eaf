#pragma once

#include "platform/environment.h"

#include <string>
#include <string_view>
#include <vector>

namespace wrenfold::assistant {

// USERPROFILE when set and non-empty, else HOME (what "~" expands to).
std::string home_folder(const platform::Environment& environment);

// Names of the Claude Code program tried on the search path, in order.
const std::vector<std::string>& claude_command_names();

// Where Claude Code may sit when the search path has none of its names, in
// the order they are tried: the Linux installer's ~/.local/bin/claude, then
// the Windows installers' places. Rows whose base is empty are left out; the
// ProgramFiles row is always there, relative when the variable is unset.
std::vector<std::string> claude_fallback_locations(const platform::Environment& environment);

// 1 to 64 characters, an ASCII letter or digit first, then letters, digits,
// ".", "_", "+" or "-": no separators, blanks or drive letters.
bool is_valid_tool_name(std::string_view name);

// The name itself when it ends in .exe, .cmd or .bat (any case), else name + ".exe".
std::string tool_file_name(const std::string& name);

// Replaces each %NAME% whose variable is set; other text stays as it is.
std::string expand_percent_variables(std::string_view text, const platform::Environment& environment);

// The file name joined to each probe folder, expanded, in order; folders
// whose expansion still holds a "%" (an undefined variable) are left out.
std::vector<std::string> tool_probe_candidates(const std::string& file_name,
                                               const platform::Environment& environment);

// Trims ASCII white space at both ends.
std::string trim(std::string_view text);
std::string to_lower_ascii(std::string_view text);

}  // namespace wrenfold::assistant
