// One chat turn: one run of `claude -p` with the prompts, settings and session.
#include "app/wrenfold_app.h"

#include "assistant/claude_code_files.h"
#include "assistant/prompts.h"
#include "assistant/turn_answer.h"
#include "assistant/turn_command.h"
#include "assistant/turn_folders.h"
#include "core/bridge_answer.h"
#include "core/bridge_call.h"
#include "core/utf8_path.h"
#include "platform/child_process.h"
#include "platform/environment.h"

namespace wrenfold {

using namespace assistant;
namespace fs = std::filesystem;

namespace {

using TurnSlot = Guarded<TurnInFlight>;

Json reply_answer(const std::string& reply)
{
    return ok_answer(Json { { "error", "" }, { "reply", reply } });
}

Json empty_reply()
{
    return Json { { "reply", "" } };
}

Json cancelled()
{
    return failed_answer_with({ { "cancelled", true }, { "error", "" }, { "reply", "" } });
}

std::chrono::milliseconds turn_time_limit(const Json& timeout)
{
    if (!timeout.is_number() || timeout.get<double>() < 0)
        throw BridgeArgumentError("timeout must be a number of seconds");
    return clamped_turn_time_limit(timeout.get<double>());
}

bool is_current(TurnSlot& slot, std::int64_t generation)
{
    return slot.with_locked([&](TurnInFlight& turn) { return turn.generation == generation; });
}

// Puts the child in the in-flight slot, or ends it when a reset came first.
bool claim_slot(TurnSlot& slot, const std::shared_ptr<platform::ChildProcess>& child, std::int64_t generation)
{
    return slot.with_locked([&](TurnInFlight& turn) {
        if (turn.generation != generation) {
            child->kill_tree();
            return false;
        }
        turn.children.push_back(child);
        return true;
    });
}

// Whatever happens while the child runs, it leaves the in-flight slot; other
// turns' children are left alone.
class SlotRelease {
public:
    SlotRelease(TurnSlot& slot, std::shared_ptr<platform::ChildProcess> mine)
        : m_slot(slot),
          m_mine(std::move(mine))
    {
    }
    SlotRelease(const SlotRelease&) = delete;
    SlotRelease& operator=(const SlotRelease&) = delete;
    ~SlotRelease()
    {
        m_slot.with_locked([&](TurnInFlight& turn) { std::erase(turn.children, m_mine); });
    }

private:
    TurnSlot& m_slot;
    std::shared_ptr<platform::ChildProcess> m_mine;
};

// The child's output, or nothing when it ran out of time (it is then ended).
// A child that prints past its output limit is ended and throws.
std::optional<platform::ProcessResult> wait_for(TurnSlot& slot, const std::shared_ptr<platform::ChildProcess>& child,
                                                const std::string& message, std::chrono::milliseconds time_limit)
{
    SlotRelease release(slot, child);
    auto result = child->communicate(message, time_limit);
    if (result)
        return result;
    child->kill_tree();
    try {
        (void)child->communicate({}, std::chrono::seconds(2));
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

// A session id the answer names is kept, unless a reset came in between.
void keep_session(TurnSlot& slot, std::int64_t generation, std::optional<std::string> session_id)
{
    slot.with_locked([&](TurnInFlight& turn) {
        if (turn.generation == generation)
            turn.session_id = std::move(session_id);
    });
}

}  // namespace

Json WrenfoldApp::claude_send(const Json& user_text, const Json& /*terminal_text*/, const Json& /*target_tab_id*/,
                              const Json& timeout, const Json& /*is_followup*/, const Json& /*tab_texts*/)
{
    auto time_limit = turn_time_limit(timeout);
    for (;;) {
        if (auto answer = _claude_send_once(user_text, timeout, time_limit))
            return *answer;
    }
}

std::optional<Json> WrenfoldApp::_claude_send_once(const Json& user_text, const Json& timeout,
                                                   std::chrono::milliseconds time_limit)
{
    auto exe = _resolve_claude_exe();
    if (!exe)
        return failed_answer(_t("err.claude_not_found"), empty_reply());

    std::string message = (user_text.is_null() ? "" : text_form(user_text)) + _calendar_context_block();
    std::shared_ptr<const TurnFolders> folders;
    try {
        folders = _claude_turn_folders();
    } catch (const std::exception& error) {
        return failed_answer(_t("err.claude_exec_fail", Json { { "err", error.what() } }), empty_reply());
    }
    auto runtime_file = _write_claude_runtime_system_prompt(folders->prompt());
    std::string system_prompt =
        runtime_file ? pointer_system_prompt(_lang_directive(), runtime_file->second) : _build_claude_system_prompt();
    auto provider = claude_provider();
    if (provider == "deepseek" && !_has_deepseek_settings())
        return failed_answer(_t("err.deepseek_no_key"), empty_reply());

    auto [generation, session_id] = _claude_inflight_lock.with_locked([](const TurnInFlight& turn) {
        return std::pair { turn.generation, turn.session_id.value_or("") };
    });
    auto command = _claude_turn_command(*exe, provider, runtime_file, session_id);
    command.system_prompt = std::move(system_prompt);

    platform::ChildOptions options;
    options.working_directory = folders->working();
    options.end_with_starter = true;  // this thread waits for it below
    std::shared_ptr<platform::ChildProcess> child;
    try {
        child = platform::ChildProcess::start(
            turn_arguments(command), turn_environment(m_assistant_platform.environment->snapshot(), command), options);
    } catch (const std::exception& error) {
        return failed_answer(_t("err.claude_exec_fail", Json { { "err", error.what() } }), empty_reply());
    }
    if (!claim_slot(_claude_inflight_lock, child, generation))
        return cancelled();

    std::optional<platform::ProcessResult> result;
    try {
        result = wait_for(_claude_inflight_lock, child, message, time_limit);
    } catch (const platform::ProcessOutputTooLarge& error) {
        if (!is_current(_claude_inflight_lock, generation))
            return cancelled();
        return failed_answer(_t("err.claude_exec_fail", Json { { "err", error.what() } }), empty_reply());
    }
    if (!result)
        return failed_answer(_t("err.claude_timeout", Json { { "n", timeout } }), empty_reply());
    if (!is_current(_claude_inflight_lock, generation))
        return cancelled();
    return _claude_turn_answer(*result, !session_id.empty(), generation);
}

// The turns' private folders, made again when a temp cleaner took them.
std::shared_ptr<const TurnFolders> WrenfoldApp::_claude_turn_folders()
{
    const auto& environment = *m_assistant_platform.environment;
    auto temp_root = environment.get_or_empty("TMPDIR");
#ifdef _WIN32
    // Windows names the user's temporary folder TEMP; "/tmp" would be the
    // root of whatever drive the program was started on.
    if (temp_root.empty())
        temp_root = environment.get_or_empty("TEMP");
#endif
    if (temp_root.empty() || !utf8_path(temp_root).is_absolute())
        temp_root = "/tmp";
    return m_turn_folders.with_locked([&](std::shared_ptr<const TurnFolders>& folders) {
        if (!folders || !folders->intact())
            folders = std::make_shared<const TurnFolders>(utf8_path(temp_root));
        return folders;
    });
}

// Everything of the turn's command but its system prompt, which the caller builds first.
assistant::TurnCommand
WrenfoldApp::_claude_turn_command(const std::string& exe, const std::string& provider,
                                  const std::optional<std::pair<std::filesystem::path, std::string>>& runtime_file,
                                  const std::string& session_id)
{
    TurnCommand command;
    command.session_id = session_id;
    command.executable = exe;
    command.provider = provider;
    auto in_force = m_claude_settings.snapshot();
    command.model = in_force.model;
    command.deepseek_model = in_force.deepseek_model;
    command.effort = in_force.effort;
    command.deepseek_settings_path = utf8_text(_claude_custom_settings_path);
    command.architecture_dir = utf8_text(_claude_arch_dir);
    command.runtime_prompt_dir = runtime_file ? utf8_text(runtime_file->first) : "";
    command.readable_files = { utf8_text(_claude_arch_dir / utf8_path(kRulesDocumentName)),
                               utf8_text(_claude_arch_dir / utf8_path(kIndexDocumentName)) };
    if (runtime_file)
        command.readable_files.push_back(utf8_text(runtime_file->first / utf8_path(runtime_file->second)));
    command.data_dir = utf8_text(fs::absolute(APP_DIR));
    if (provider != "deepseek")
        command.anthropic_api_key = stored_claude_api_key(_claude_home_folder());
    return command;
}

// The answer of a finished turn; nothing when the conversation it resumed had
// expired, which is then dropped so the turn runs again without it.
std::optional<Json> WrenfoldApp::_claude_turn_answer(const platform::ProcessResult& result, bool resumed,
                                                     std::int64_t generation)
{
    auto outcome = interpret_turn_output(result.exit_code, result.out, result.err, resumed);
    if (outcome.session_id)
        keep_session(_claude_inflight_lock, generation, outcome.session_id);
    switch (outcome.kind) {
    case TurnAnswer::Kind::Reply:
        return reply_answer(outcome.text);
    case TurnAnswer::Kind::ApiError:
        return failed_answer(_humanize_claude_api_error(outcome.error_object), empty_reply());
    case TurnAnswer::Kind::Failure:
        return failed_answer(outcome.text, empty_reply());
    case TurnAnswer::Kind::StaleSession:
        break;
    }
    keep_session(_claude_inflight_lock, generation, std::nullopt);
    return std::nullopt;
}

}  // namespace wrenfold
