#pragma once

#include "core/json.h"
#include "platform/http_client.h"

#include <optional>
#include <string>
#include <vector>

namespace wrenfold::assistant {

inline constexpr const char* kDeepseekDefaultBaseUrl = "https://api.deepseek.com/anthropic";
inline constexpr const char* kDeepseekDefaultModel = "deepseek-chat";
// A model list is a few kilobytes; anything beyond this is not one.
inline constexpr std::size_t kMaxModelListBytes = 1024 * 1024;
const std::vector<std::string>& deepseek_fallback_models();

// The dialog's view of deepseek-settings.json: {"api_key", "base_url",
// "model", "path", "exists"} and "error" when the file is there but unusable.
Json deepseek_credentials(const std::string& path);

// settings_file with the dialog's values put into its "env" block; every
// other key stays. An absent or blank base URL or model keeps the file's
// value, or writes the default when the file has none.
Json with_deepseek_credentials(Json settings_file, const std::string& api_key,
                               const std::optional<std::string>& base_url, const std::optional<std::string>& model);

// The model list's address: the base URL without trailing "/" and without
// a final "/anthropic", followed by "/models".
std::string deepseek_models_url(const std::string& base_url);

// The non-empty text "id"s of the elements of the body's "data" list.
// Throws when the body is not a JSON object.
std::vector<std::string> parse_model_ids(const std::string& body);

// The whole model-list answer of the dialog: {"ok", "models", "current",
// "source"} plus "error" (and "http_status") when the live list could not
// be had; the fallback models are listed then.
Json deepseek_model_list(const std::string& settings_path, const std::string& current, platform::HttpClient& http);

}  // namespace wrenfold::assistant
