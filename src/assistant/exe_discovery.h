#pragma once

#include "core/unicode_text.h"
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
// the Windows installers' places. Rows whose base variable is unset or empty
// are left out, and so is any row that would not be an absolute path: a
// relative one would run whatever the current folder holds.
std::vector<std::string> claude_fallback_locations(const platform::Environment& environment);

// The search path without its empty and relative entries, which name the
// current folder (or one below it) rather than a place programs are installed.
std::string absolute_search_path(std::string_view search_path);

// 1 to 64 characters, an ASCII letter or digit first, then letters, digits,
// ".", "_", "+" or "-": no separators, blanks or drive letters.
bool is_valid_tool_name(std::string_view name);

// The name itself when it ends in .exe, .cmd or .bat (any case), else name + ".exe".
std::string tool_file_name(const std::string& name);

// Replaces each %NAME% whose variable is set; other text stays as it is.
std::string expand_percent_variables(std::string_view text, const platform::Environment& environment);

// The file name joined to each probe folder, expanded, in order; folders
// whose expansion still holds a "%" (an undefined variable) are left out.
std::vector<std::string> tool_probe_candidates(const std::string& file_name, const platform::Environment& environment);

// Trims Unicode white space at both ends (what people type around a value).
std::string trim(std::string_view text);
// For file-name suffixes only; names people type compare with fold_case.
std::string to_lower_ascii(std::string_view text);

}  // namespace wrenfold::assistant
