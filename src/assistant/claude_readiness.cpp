// Finding Claude Code, and telling the page whether the assistant can run.
#include "app/wrenfold_app.h"

#include "assistant/assistant_error.h"
#include "assistant/claude_code_files.h"
#include "assistant/exe_discovery.h"
#include "core/bridge_answer.h"
#include "platform/child_process.h"
#include "platform/command_lookup.h"
#include "platform/environment.h"

namespace wrenfold {

using namespace assistant;

std::string WrenfoldApp::_claude_home_folder() const
{
    return home_folder(*m_assistant_platform.environment);
}

bool WrenfoldApp::_has_deepseek_settings() const
{
    const std::u8string path = _claude_custom_settings_path.u8string();
    return platform::is_regular_file(std::string(path.begin(), path.end()));
}

// A found path is kept for the life of the process; a miss is searched again
// on every call, so a program installed by hand is noticed at once.
std::optional<std::string> WrenfoldApp::_resolve_claude_exe()
{
    if (auto known = m_claude_exe.snapshot())
        return known;
    const auto& environment = *m_assistant_platform.environment;
    std::optional<std::string> found;
    auto search_path = absolute_search_path(environment.get_or_empty("PATH"));
    for (const auto& name : claude_command_names()) {
        if ((found = platform::find_on_search_path(name, search_path)))
            break;
    }
    if (!found) {
        for (const auto& location : claude_fallback_locations(environment)) {
            if (platform::is_regular_file(location)) {
                found = location;
                break;
            }
        }
    }
    m_claude_exe.replace(found);
    return found;
}

bool WrenfoldApp::_claude_logged_in() const
{
    return claude_signed_in(_claude_home_folder());
}

Json WrenfoldApp::claude_ai_state()
{
    bool installed = _resolve_claude_exe().has_value();
    bool logged_in = installed && _claude_logged_in();
    bool has_deepseek = _has_deepseek_settings();
    bool has_backend = logged_in || has_deepseek;
    return Json { { "installed", installed },
                  { "logged_in", logged_in },
                  { "has_deepseek_settings", has_deepseek },
                  { "has_backend", has_backend },
                  { "ready", installed && has_backend },
                  { "session_dismissed", _ai_setup_dismissed_this_session.load() } };
}

namespace {

// The version line of `claude --version`: "" for no output at all; output made
// only of blanks has no first line and counts as a failed check.
std::string version_from(const platform::ProcessResult& run)
{
    if (run.out.empty())
        return "";
    auto text = trim(run.out);
    if (text.empty())
        throw AssistantError("claude --version printed no version");
    return text.substr(0, text.find('\n'));
}

}  // namespace

Json WrenfoldApp::claude_status()
{
    auto exe = _resolve_claude_exe();
    if (!exe) {
        return Json { { "installed", false },      { "logged_in", false }, { "version", nullptr },
                      { "model", claude_model() }, { "exe", nullptr },     { "hint", _t("hint.claude.not_found") } };
    }
    Json version = nullptr;
    try {
        auto run = platform::run_process({ *exe, "--version" }, m_assistant_platform.environment->snapshot(),
                                         std::chrono::seconds(10));
        if (run.exit_code == 0)
            version = version_from(run);
    } catch (const std::exception& error) {
        return Json {
            { "installed", false }, { "logged_in", false },
            { "version", nullptr }, { "model", claude_model() },
            { "exe", *exe },        { "hint", _t("hint.claude.version_fail", Json { { "err", error.what() } }) }
        };
    }
    bool logged_in = _claude_logged_in();
    bool has_deepseek = _has_deepseek_settings();
    auto provider = claude_provider();
    bool needs_sign_in = !logged_in && !(provider == "deepseek" && has_deepseek);
    return Json { { "installed", true },    { "logged_in", logged_in },
                  { "provider", provider }, { "has_deepseek_settings", has_deepseek },
                  { "version", version },   { "model", claude_model() },
                  { "exe", *exe },          { "hint", needs_sign_in ? _t("hint.claude.not_logged_in") : "" } };
}

Json WrenfoldApp::claude_find_executable(const Json& name) const
{
    auto cleaned = trim(name.is_string() ? name.get<std::string>() : "");
    if (!is_valid_tool_name(cleaned))
        return failed_answer(_t("err.ai_exe.bad_name", Json { { "name", cleaned } }));
    const auto& environment = *m_assistant_platform.environment;
    if (auto on_path = platform::find_on_search_path(cleaned, environment.get_or_empty("PATH"))) {
        return ok_answer(Json { { "found", true }, { "path", *on_path }, { "on_path", true }, { "name", cleaned } });
    }
    for (const auto& candidate : tool_probe_candidates(tool_file_name(cleaned), environment)) {
        if (platform::is_regular_file(candidate)) {
            return ok_answer(
                Json { { "found", true }, { "path", candidate }, { "on_path", false }, { "name", cleaned } });
        }
    }
    return ok_answer(Json { { "found", false }, { "path", "" }, { "on_path", false }, { "name", cleaned } });
}

}  // namespace wrenfold
