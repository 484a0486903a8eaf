// The assistant's model, provider, effort, API key and conversation.
#include "app/wrenfold_app.h"

#include "app/settings_rules.h"
#include "assistant/claude_code_files.h"
#include "assistant/exe_discovery.h"
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

void WrenfoldApp::_store_claude_setting(std::string& attribute, const char* key, const std::string& value)
{
    bool changed;
    {
        std::lock_guard lock(m_claude_settings_mutex);
        changed = attribute != value;
        attribute = value;
    }
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
    _store_claude_setting(_claude_model, "claude_model", id);
    return Json { { "ok", true }, { "model", id }, { "is_custom", !is_builtin_model(id) } };
}

Json WrenfoldApp::set_claude_provider(const Json& provider)
{
    std::string chosen = provider == "deepseek" ? "deepseek" : "claude";
    _store_claude_setting(_claude_provider, "claude_provider", chosen);
    return Json { { "ok", true }, { "provider", chosen } };
}

Json WrenfoldApp::set_claude_effort(const Json& level)
{
    std::string chosen = is_effort_level(level) ? level.get<std::string>() : std::string(CLAUDE_DEFAULT_EFFORT);
    _store_claude_setting(_claude_effort, "claude_effort", chosen);
    return Json { { "ok", true }, { "effort", chosen } };
}

Json WrenfoldApp::set_claude_deepseek_model(const Json& model_id)
{
    std::string chosen = model_id.is_string() ? trim(model_id.get<std::string>()) : "";
    _store_claude_setting(_claude_deepseek_model, "claude_deepseek_model", chosen);
    return Json { { "ok", true }, { "model", chosen } };
}

Json WrenfoldApp::set_claude_api_key(const Json& api_key)
{
    std::string key = api_key.is_string() ? api_key.get<std::string>() : "";
    if (has_control_characters(trim(key)))
        return Json { { "ok", false }, { "error", _t("err.key.control_chars") } };
    try {
        store_claude_api_key(_claude_home_folder(), key);
    } catch (const std::exception& error) {
        return Json { { "ok", false }, { "error", error.what() } };
    }
    return Json { { "ok", true } };
}

// Starts a new conversation and ends a turn that is still running: its
// generation no longer matches, so it reports itself cancelled.
Json WrenfoldApp::claude_reset_session()
{
    std::shared_ptr<platform::ChildProcess> running;
    {
        std::lock_guard lock(_claude_inflight_lock);
        ++_claude_gen;
        running = std::exchange(_claude_inflight_proc, nullptr);
    }
    if (running && !running->has_exited()) {
        try {
            running->kill_tree();
        } catch (const std::exception& error) {
            log_line("[claude]", std::string("terminate inflight failed: ") + error.what());
        }
    }
    {
        std::lock_guard lock(_claude_inflight_lock);
        _claude_session_id.reset();
    }
    return true;
}

}  // namespace wrenfold
