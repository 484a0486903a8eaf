// DeepSeek's Anthropic-compatible endpoint: its settings file and model list.
#include "app/wrenfold_app.h"

#include "assistant/deepseek_settings.h"
#include "assistant/exe_discovery.h"
#include "assistant/private_json_file.h"
#include "core/bridge_answer.h"
#include "core/bridge_call.h"

namespace wrenfold {

using namespace assistant;

Json WrenfoldApp::claude_get_deepseek_credentials() const
{
    return deepseek_credentials(_claude_custom_settings_path.string());
}

Json WrenfoldApp::set_claude_deepseek_credentials(const Json& api_key, const Json& base_url, const Json& model)
{
    auto path = _claude_custom_settings_path.string();
    auto key_text = string_value(api_key).value_or("");
    auto base_url_text = string_value(base_url);
    auto model_text = string_value(model);
    // The key goes into an Authorization header and the others into the
    // model-list request and Claude Code's environment.
    for (const auto& text : { std::optional(key_text), base_url_text, model_text }) {
        if (text && has_control_characters(trim(*text)))
            return failed_answer(_t("err.key.control_chars"), Json { { "path", path } });
    }
    Json file = with_deepseek_credentials(read_json_object_for_rewrite(path), key_text, base_url_text, model_text);
    try {
        write_private_json(path, file);
    } catch (const std::exception& error) {
        return failed_answer(error.what(), Json { { "path", path } });
    }
    return ok_answer(Json { { "path", path }, { "api_key", file["env"]["ANTHROPIC_AUTH_TOKEN"] } });
}

Json WrenfoldApp::claude_get_deepseek_models() const
{
    return deepseek_model_list(_claude_custom_settings_path.string(), claude_deepseek_model(),
                               *m_assistant_platform.http);
}

}  // namespace wrenfold
