// One chat turn: one run of `claude -p` with the prompts, settings and session.
#include "app/wrenfold_app.h"

#include "assistant/claude_code_files.h"
#include "assistant/prompts.h"
#include "assistant/turn_answer.h"
#include "assistant/turn_command.h"
#include "core/bridge_call.h"
#include "platform/child_process.h"
#include "platform/environment.h"

namespace wrenfold {

using namespace assistant;

namespace {

Json answer(const std::string& reply)
{
    return Json { { "ok", true }, { "error", "" }, { "reply", reply } };
}

Json failure(const std::string& error)
{
    return Json { { "ok", false }, { "error", error }, { "reply", "" } };
}

Json cancelled()
{
    return Json { { "ok", false }, { "cancelled", true }, { "error", "" }, { "reply", "" } };
}

std::chrono::milliseconds turn_time_limit(const Json& timeout)
{
    if (!timeout.is_number() || timeout.get<double>() < 0)
        throw BridgeArgumentError("timeout must be a number of seconds");
    return clamped_turn_time_limit(timeout.get<double>());
}

}  // namespace

Json WrenfoldApp::claude_send(const Json& user_text, const Json& terminal_text, const Json& target_tab_id,
                              const Json& timeout, const Json& /*is_followup*/, const Json& tab_texts)
{
    auto time_limit = turn_time_limit(timeout);
    auto exe = _resolve_claude_exe();
    if (!exe)
        return failure(_t("err.claude_not_found"));

    std::string message = (user_text.is_null() ? "" : text_form(user_text)) + _calendar_context_block();
    auto runtime_file = _write_claude_runtime_system_prompt();
    std::string system_prompt =
        runtime_file ? pointer_system_prompt(_lang_directive(), runtime_file->second) : _build_claude_system_prompt();
    auto provider = claude_provider();
    if (provider == "deepseek" && !_has_deepseek_settings())
        return failure(_t("err.deepseek_no_key"));

    std::int64_t my_gen;
    TurnCommand command;
    {
        std::lock_guard lock(_claude_inflight_lock);
        my_gen = _claude_gen;
        command.session_id = _claude_session_id.value_or("");
    }
    command.executable = *exe;
    command.provider = provider;
    command.model = claude_model();
    command.deepseek_model = claude_deepseek_model();
    command.effort = claude_effort();
    command.deepseek_settings_path = _claude_custom_settings_path.string();
    command.architecture_dir = _claude_arch_dir.string();
    command.system_prompt = system_prompt;
    command.runtime_prompt_dir = runtime_file ? runtime_file->first.string() : "";

    if (provider != "deepseek")
        command.anthropic_api_key = stored_claude_api_key(_claude_home_folder());

    std::shared_ptr<platform::ChildProcess> child;
    try {
        child = platform::ChildProcess::start(turn_arguments(command),
                                              turn_environment(m_assistant_platform.environment->snapshot(), command));
    } catch (const std::exception& error) {
        return failure(_t("err.claude_exec_fail", Json { { "err", error.what() } }));
    }
    {
        std::lock_guard lock(_claude_inflight_lock);
        if (_claude_gen != my_gen) {
            child->kill_tree();
            return cancelled();
        }
        _claude_inflight_proc = child;
    }

    // Whatever happens below, this turn's child leaves the in-flight slot; a
    // newer turn's child is left alone.
    struct ReleaseSlot {
        WrenfoldApp& app;
        const std::shared_ptr<platform::ChildProcess>& mine;
        ~ReleaseSlot()
        {
            std::lock_guard lock(app._claude_inflight_lock);
            if (app._claude_inflight_proc == mine)
                app._claude_inflight_proc = nullptr;
        }
    };
    std::optional<platform::ProcessResult> result;
    {
        ReleaseSlot release { *this, child };
        result = child->communicate(message, time_limit);
        if (!result) {
            child->kill_tree();
            try {
                (void)child->communicate({}, std::chrono::seconds(2));
            } catch (const std::exception&) {
            }
            return failure(_t("err.claude_timeout", Json { { "n", timeout } }));
        }
    }

    {
        std::lock_guard lock(_claude_inflight_lock);
        if (_claude_gen != my_gen)
            return cancelled();
    }
    auto outcome = interpret_turn_output(result->exit_code, result->out, result->err, !command.session_id.empty());
    if (outcome.session_id) {
        std::lock_guard lock(_claude_inflight_lock);
        if (_claude_gen == my_gen)
            _claude_session_id = *outcome.session_id;
    }
    switch (outcome.kind) {
    case TurnAnswer::Kind::Reply:
        return answer(outcome.text);
    case TurnAnswer::Kind::ApiError:
        return failure(_humanize_claude_api_error(outcome.error_object));
    case TurnAnswer::Kind::Failure:
        return failure(outcome.text);
    case TurnAnswer::Kind::StaleSession:
        break;
    }
    {
        std::lock_guard lock(_claude_inflight_lock);
        if (_claude_gen == my_gen)
            _claude_session_id.reset();
    }
    return claude_send(user_text, terminal_text, target_tab_id, timeout, true, tab_texts);
}

}  // namespace wrenfold
