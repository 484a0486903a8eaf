#pragma once

#include "core/json.h"

#include <string>

namespace wrenfold {

// How stored settings values become the values in force. Every rule falls back
// to its default for a missing value or one of the wrong kind.

// "language": one of the supported languages exactly, else the default.
std::string language_in_force(const Json& settings);
// "claude_model": the stored text when it is not blank (kept untrimmed).
std::string claude_model_in_force(const Json& settings);
// "claude_effort": a valid level; else "high" when "claude_effort_enabled" is
// the boolean false; else the default level.
std::string claude_effort_in_force(const Json& settings);
// "claude_provider": "claude" or "deepseek", compared exactly; else "claude".
std::string claude_provider_in_force(const Json& settings);
// "claude_deepseek_model": any stored text, "" included; else "".
std::string claude_deepseek_model_in_force(const Json& settings);

// "reading": how the page shows the calendar, every key with its value in
// force: "theme" ("system", "light", "dark"), "week_start" ("system",
// "sunday", "monday"), "clock" ("language", "12", "24"), "week_numbers"
// (boolean), "lunar" ("language", "on", "off"). Unknown keys are dropped.
Json reading_settings_in_force(const Json& settings);
// The stored "reading" with the valid entries of `changes` laid over it.
Json reading_settings_changed(const Json& settings, const Json& changes);

bool is_supported_language(const Json& value);
bool is_effort_level(const Json& value);

}  // namespace wrenfold
