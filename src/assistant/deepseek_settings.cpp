#include "assistant/deepseek_settings.h"

#include "assistant/assistant_error.h"
#include "assistant/exe_discovery.h"
#include "assistant/private_json_file.h"
#include "core/bridge_answer.h"
#include "platform/command_lookup.h"
#include "platform/utf8.h"

#include <stdexcept>

namespace wrenfold::assistant {

namespace {

Json env_block(const Json& settings_file)
{
    if (settings_file.contains("env") && truthy(settings_file["env"]))
        return settings_file["env"];
    return Json::object();
}

Json truthy_or(const Json& object, const char* key, const Json& fallback)
{
    if (object.is_object() && object.contains(key) && truthy(object[key]))
        return object[key];
    return fallback;
}

void put_or_keep(Json& env, const char* key, const std::optional<std::string>& value, const char* fallback)
{
    if (value && !trim(*value).empty())
        env[key] = trim(*value);
    else if (!env.contains(key))
        env[key] = fallback;
}

}  // namespace

const std::vector<std::string>& deepseek_fallback_models()
{
    static const std::vector<std::string> models { "deepseek-chat", "deepseek-reasoner" };
    return models;
}

Json deepseek_credentials(const std::string& path)
{
    Json defaults { { "api_key", "" },
                    { "base_url", kDeepseekDefaultBaseUrl },
                    { "model", kDeepseekDefaultModel },
                    { "path", path },
                    { "exists", false } };
    if (!platform::is_regular_file(path))
        return defaults;
    try {
        Json file = read_json_file(path);
        if (!file.is_object())
            throw AssistantError("deepseek-settings.json does not hold a JSON object");
        Json env = env_block(file);
        Json result = defaults;
        result["api_key"] = truthy_or(env, "ANTHROPIC_AUTH_TOKEN", "");
        result["base_url"] = truthy_or(env, "ANTHROPIC_BASE_URL", kDeepseekDefaultBaseUrl);
        result["model"] = truthy_or(env, "ANTHROPIC_MODEL", kDeepseekDefaultModel);
        result["exists"] = true;
        return result;
    } catch (const std::exception& error) {
        defaults["error"] = error.what();
        return defaults;
    }
}

Json with_deepseek_credentials(Json settings_file, const std::string& api_key,
                               const std::optional<std::string>& base_url, const std::optional<std::string>& model)
{
    if (!settings_file.is_object())
        settings_file = Json::object();
    Json env = env_block(settings_file);
    if (!env.is_object())
        env = Json::object();  // a truthy "env" that is not an object cannot hold variables
    env["ANTHROPIC_AUTH_TOKEN"] = trim(api_key);
    put_or_keep(env, "ANTHROPIC_BASE_URL", base_url, kDeepseekDefaultBaseUrl);
    put_or_keep(env, "ANTHROPIC_MODEL", model, kDeepseekDefaultModel);
    settings_file["env"] = env;
    return settings_file;
}

std::string deepseek_models_url(const std::string& base_url)
{
    std::string base = base_url;
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    constexpr std::string_view suffix = "/anthropic";
    if (base.size() >= suffix.size() && base.compare(base.size() - suffix.size(), suffix.size(), suffix) == 0)
        base.resize(base.size() - suffix.size());
    return base + "/models";
}

std::vector<std::string> parse_model_ids(const std::string& body)
{
    Json parsed = parse_json(platform::decode_utf8_replacing(body));
    if (!parsed.is_object())
        throw AssistantError("the answer is not a JSON object");
    std::vector<std::string> ids;
    Json data = truthy_or(parsed, "data", Json::array());
    if (!data.is_array())
        return ids;
    for (const auto& element : data) {
        if (element.is_object() && element.contains("id") && element["id"].is_string() &&
            !element["id"].get<std::string>().empty())
            ids.push_back(element["id"].get<std::string>());
    }
    return ids;
}

Json deepseek_model_list(const std::string& settings_path, const std::string& current, platform::HttpClient& http)
{
    Json result = failed_answer_with(
        { { "models", deepseek_fallback_models() }, { "current", current }, { "source", "fallback" } });
    if (!platform::is_regular_file(settings_path)) {
        result["error"] = "settings file not found";
        return result;
    }
    std::string base_url;
    Json token;
    try {
        Json env = read_json_file(settings_path).at("env");
        base_url = env.at("ANTHROPIC_BASE_URL").get<std::string>();
        token = env.at("ANTHROPIC_AUTH_TOKEN");
    } catch (const std::exception& error) {
        result["error"] = std::string("settings parse: ") + error.what();
        return result;
    }
    try {
        if (!token.is_string())
            throw AssistantError("ANTHROPIC_AUTH_TOKEN is not text");
        // A file edited by hand can hold what the dialog refuses.
        if (has_control_characters(token.get<std::string>()) || has_control_characters(base_url))
            throw AssistantError("the API key or base URL holds control characters");
        auto response =
            http.get(deepseek_models_url(base_url), { { "Authorization", "Bearer " + token.get<std::string>() } },
                     std::chrono::seconds(8), kMaxModelListBytes);
        if (response.status >= 400) {
            result["error"] = "HTTP " + std::to_string(response.status);
            result["http_status"] = response.status;
            return result;
        }
        auto ids = parse_model_ids(response.body);
        if (ids.empty()) {
            result["error"] = "empty model list";
            return result;
        }
        result["ok"] = true;
        result["models"] = ids;
        result["source"] = "api";
    } catch (const std::exception& error) {
        result["error"] = std::string("fetch: ") + error.what();
    }
    return result;
}

}  // namespace wrenfold::assistant
