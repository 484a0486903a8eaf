#pragma once

#include <string>

namespace wrenfold::assistant {

// Claude Code's own files under the home folder.
std::string claude_credentials_path(const std::string& home);
std::string claude_settings_path(const std::string& home);

// Signed in: the credentials file exists, or Claude Code's settings carry a
// truthy "oauthAccount" or "primaryApiKey". Never throws.
bool claude_signed_in(const std::string& home);

// Puts the Anthropic API key into Claude Code's settings (a blank key removes
// it), keeping every other key. Throws when the file cannot be written.
void store_claude_api_key(const std::string& home, const std::string& api_key);

// The stored "primaryApiKey" when it is text fit for an environment variable
// (no control characters); "" otherwise. Never throws.
std::string stored_claude_api_key(const std::string& home);

}  // namespace wrenfold::assistant
