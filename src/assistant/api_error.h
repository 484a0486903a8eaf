#pragma once

#include "assistant/translate.h"
#include "core/json.h"

#include <string>

namespace wrenfold::assistant {

// The message key for an HTTP status of the model provider.
std::string api_error_key(long long status);

// Turns Claude Code's error answer ({"is_error": true, "api_error_status":
// 402, "result": "API Error: ..."}) into a sentence the user can act on,
// followed by the raw text under a label. provider is the provider setting
// ("deepseek" or anything else for Anthropic).
std::string humanize_api_error(const Json& error_object, const std::string& provider, const Translate& translate);

}  // namespace wrenfold::assistant
