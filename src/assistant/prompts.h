#pragma once

#include "calendar/records.h"
#include "core/json.h"

#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace wrenfold::assistant {

inline constexpr const char* kRulesDocumentName = "claude規範提示詞.md";
inline constexpr const char* kIndexDocumentName = "架構說明目錄.md";
inline constexpr const char* kRuntimePromptName = "_runtime_system_prompt.md";

// The reply-language directive for the interface language `lang`.
std::string language_directive(const std::string& lang);

// The two documents under their header lines, joined by an empty line;
// a document that is empty is left out. "" when both are.
std::string documents_section(const std::string& rules, const std::string& index);

// The whole static system prompt, for passing on the command line.
std::string inline_system_prompt(const std::string& directive, const std::string& rules, const std::string& index);

// The short prompt that sends the assistant to the runtime prompt file.
std::string pointer_system_prompt(const std::string& directive, const std::string& file_name);

// The calendar environment block appended to every message: the time, the
// zone of the first account, and the writable calendars with the default
// marked (the calendar at the default's URL).
std::string calendar_context_block(const std::tm& now, const std::vector<Account>& accounts,
                                   const std::optional<Calendar>& default_calendar);

}  // namespace wrenfold::assistant
