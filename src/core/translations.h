#pragma once

#include "core/json.h"

#include <map>
#include <optional>
#include <string>

namespace wrenfold {

// Language code → message key → template. Both languages hold the same keys.
using MessageMap = std::map<std::string, std::string, std::less<>>;
using TranslationTable = std::map<std::string, MessageMap, std::less<>>;

// The built-in table of every message the native side shows the user.
const TranslationTable& translation_table();

// Fills "{name}" placeholders from the object `values`; "{{" and "}}" stand for
// single braces. Nothing (std::nullopt) when a placeholder names no value or a
// brace is malformed.
std::optional<std::string> fill_template(std::string_view text, const Json& values);

// The message of `key` in `language` (English when the language or the key is
// not in the table, the key itself when English lacks it too), filled from
// `values` when it holds at least one value. A template that cannot be filled
// comes back as it is.
std::string translate(const TranslationTable& table, std::string_view language, std::string_view key,
                      const Json& values = Json::object());

}  // namespace wrenfold
