// The assistant's model, provider, effort, API key and conversation.
#include "app/wrenfold_app.h"

#include "app/settings_rules.h"
#include "assistant/claude_code_files.h"
#include "assistant/exe_discovery.h"
#include "core/bridge_answer.h"
#include "core/log.h"
#include "platform/child_process.h"

#include <algorithm>

namespace wrenfold {

using namespace assistant;

namespace {

bool is_builtin_model(const std::string& id)
{
    return std::any_of(AppConstants::CLAUDE_BUILTIN_MODELS.begin(), AppConstants::CLAUDE_BUILTIN_MODELS.end(),
                       [&](const ClaudeModelRecord& model) { return model.id == id; });
}

}  // namespace

Json WrenfoldApp::claude_get_models() const
{
    auto current = claude_model();
    Json builtin = Json::array();
    for (const auto& model : CLAUDE_BUILTIN_MODELS) {
        builtin.push_back(Json {
            { "id", model.id }, { "family", model.family }, { "version", model.version }, { "kind", model.kind } });
    }
    Json levels = Json::array();
    for (auto level : CLAUDE_EFFORT_LEVELS)
        levels.push_back(level);
    return Json { { "current", current },
                  { "default", CLAUDE_DEFAULT_MODEL },
                  { "builtin", builtin },
                  { "is_custom", !is_builtin_model(current) },
                  { "effort", claude_effort() },
                  { "effort_levels", levels },
                  { "provider", claude_provider() },
                  { "has_custom_settings", _has_deepseek_settings() },
                  { "custom_settings_path", _claude_custom_settings_path.string() } };
}

void WrenfoldApp::_store_claude_setting(std::string AssistantSettingsInForce::*field, const char* key,
                                        const std::string& value)
{
    bool changed = m_claude_settings.with_locked(
        [&](AssistantSettingsInForce& in_force) { return std::exchange(in_force.*field, value) != value; });
    if (changed) {
        put_setting(key, value);
        _save_settings();
    }
}

Json WrenfoldApp::set_claude_model(const Json& model_id)
{
    std::string id = model_id.is_null() ? "" : trim(text_form(model_id));
    if (id.empty())
        id = CLAUDE_DEFAULT_MODEL;
    _store_claude_setting(&AssistantSettingsInForce::model, "claude_model", id);
    return ok_answer(Json { { "model", id }, { "is_custom", !is_builtin_model(id) } });
}

Json WrenfoldApp::set_claude_provider(const Json& provider)
{
    std::string chosen = provider == "deepseek" ? "deepseek" : "claude";
    _store_claude_setting(&AssistantSettingsInForce::provider, "claude_provider", chosen);
    return ok_answer(Json { { "provider", chosen } });
}

Json WrenfoldApp::set_claude_effort(const Json& level)
{
    std::string chosen = is_effort_level(level) ? level.get<std::string>() : std::string(CLAUDE_DEFAULT_EFFORT);
    _store_claude_setting(&AssistantSettingsInForce::effort, "claude_effort", chosen);
    return ok_answer(Json { { "effort", chosen } });
}

Json WrenfoldApp::set_claude_deepseek_model(const Json& model_id)
{
    std::string chosen = model_id.is_string() ? trim(model_id.get<std::string>()) : "";
    _store_claude_setting(&AssistantSettingsInForce::deepseek_model, "claude_deepseek_model", chosen);
    return ok_answer(Json { { "model", chosen } });
}

Json WrenfoldApp::set_claude_api_key(const Json& api_key)
{
    std::string key = api_key.is_string() ? api_key.get<std::string>() : "";
    if (has_control_characters(trim(key)))
        return failed_answer(_t("err.key.control_chars"));
    return answer_or_failure([&] {
        store_claude_api_key(_claude_home_folder(), key);
        return ok_answer();
    });
}

// Starts a new conversation and ends a turn that is still running: its
// generation no longer matches, so it reports itself cancelled.
Json WrenfoldApp::claude_reset_session()
{
    auto running = _claude_inflight_lock.with_locked([](TurnInFlight& turn) {
        ++turn.generation;
        return std::exchange(turn.children, {});
    });
    for (const auto& child : running) {
        if (child->has_exited())
            continue;
        try {
            child->kill_tree();
        } catch (const std::exception& error) {
            log_line("[claude]", std::string("terminate inflight failed: ") + error.what());
        }
    }
    _claude_inflight_lock.with_locked([](TurnInFlight& turn) { turn.session_id.reset(); });
    return true;
}

}  // namespace wrenfold
