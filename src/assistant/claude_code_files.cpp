#include "assistant/claude_code_files.h"

#include "assistant/exe_discovery.h"
#include "assistant/private_json_file.h"
#include "platform/command_lookup.h"

namespace wrenfold::assistant {

std::string claude_credentials_path(const std::string& home)
{
    return home + "/.claude/.credentials.json";
}

std::string claude_settings_path(const std::string& home)
{
    return home + "/.claude/settings.json";
}

bool claude_signed_in(const std::string& home)
{
    if (platform::is_regular_file(claude_credentials_path(home)))
        return true;
    auto path = claude_settings_path(home);
    if (!platform::is_regular_file(path))
        return false;
    try {
        Json settings = read_json_file(path);
        if (!settings.is_object())
            return false;
        for (const char* key : { "oauthAccount", "primaryApiKey" }) {
            if (settings.contains(key) && truthy(settings[key]))
                return true;
        }
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

void store_claude_api_key(const std::string& home, const std::string& api_key)
{
    auto path = claude_settings_path(home);
    Json settings = read_json_object_for_rewrite(path);
    auto key = trim(api_key);
    if (key.empty())
        settings.erase("primaryApiKey");
    else
        settings["primaryApiKey"] = key;
    write_private_json(path, settings);
}

std::string stored_claude_api_key(const std::string& home)
{
    Json settings = read_json_object_or_empty(claude_settings_path(home));
    auto found = settings.find("primaryApiKey");
    if (found == settings.end() || !found->is_string())
        return "";
    auto key = trim(found->get<std::string>());
    return has_control_characters(key) ? "" : key;
}

}  // namespace wrenfold::assistant
