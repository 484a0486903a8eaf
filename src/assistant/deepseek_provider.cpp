// DeepSeek's Anthropic-compatible endpoint: its settings file and model list.
#include "app/wrenfold_app.h"

#include "assistant/deepseek_settings.h"
#include "assistant/private_json_file.h"

namespace wrenfold {

using namespace assistant;

namespace {

std::optional<std::string> optional_text(const Json& value)
{
    if (value.is_string())
        return value.get<std::string>();
    return std::nullopt;
}

}  // namespace

Json WrenfoldApp::claude_get_deepseek_credentials() const
{
    return deepseek_credentials(_claude_custom_settings_path.string());
}

Json WrenfoldApp::set_claude_deepseek_credentials(const Json& api_key, const Json& base_url, const Json& model)
{
    auto path = _claude_custom_settings_path.string();
    Json file = with_deepseek_credentials(read_json_object_or_empty(path), optional_text(api_key).value_or(""),
                                          optional_text(base_url), optional_text(model));
    try {
        write_private_json(path, file);
    } catch (const std::exception& error) {
        return Json { { "ok", false }, { "error", error.what() }, { "path", path } };
    }
    return Json { { "ok", true }, { "path", path }, { "api_key", file["env"]["ANTHROPIC_AUTH_TOKEN"] } };
}

Json WrenfoldApp::claude_get_deepseek_models() const
{
    return deepseek_model_list(_claude_custom_settings_path.string(), claude_deepseek_model(),
                               *m_assistant_platform.http);
}

}  // namespace wrenfold
