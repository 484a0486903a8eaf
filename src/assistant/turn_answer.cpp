#include "assistant/turn_answer.h"

#include "assistant/exe_discovery.h"

namespace wrenfold::assistant {

namespace {

std::optional<Json> parse_answer(std::string_view text)
{
    Json value = parse_json_or_discarded(text);
    if (value.is_discarded())
        return std::nullopt;
    return value;
}

bool is_error_object(const Json& value)
{
    return value.is_object() && value.contains("is_error") && truthy(value["is_error"]);
}

TurnAnswer failed_run(int exit_code, std::string_view out, std::string_view err, bool had_session)
{
    std::string error_text = trim(err);
    if (error_text.empty())
        error_text = trim(out);
    if (error_text.empty())
        error_text = "claude exit code " + std::to_string(exit_code);

    // A provider error comes as Claude Code's JSON answer, which always names
    // its "session_id": it must not pass for a stale session, or every API
    // error would drop the conversation and be sent a second time.
    auto parsed = parse_answer(out);
    if (parsed && is_error_object(*parsed))
        return { TurnAnswer::Kind::ApiError, "", *parsed, std::nullopt };

    // Any other answer object means the turn ran in its conversation: what it
    // did must not be done a second time by a retry.
    bool answered = parsed && parsed->is_object();
    auto lower = to_lower_ascii(error_text);
    if (had_session && !answered &&
        (lower.find("resume") != std::string::npos || lower.find("session") != std::string::npos))
        return { TurnAnswer::Kind::StaleSession, error_text, {}, std::nullopt };
    return { TurnAnswer::Kind::Failure, error_text, {}, std::nullopt };
}

TurnAnswer finished_run(std::string_view out)
{
    auto parsed = parse_answer(out);
    if (!parsed)
        return { TurnAnswer::Kind::Reply, trim(out), {}, std::nullopt };
    if (!parsed->is_object())
        return { TurnAnswer::Kind::Reply, text_form(*parsed), {}, std::nullopt };

    TurnAnswer answer;
    const Json& object = *parsed;
    if (object.contains("session_id") && truthy(object["session_id"]))
        answer.session_id = text_form(object["session_id"]);
    if (is_error_object(object)) {
        answer.kind = TurnAnswer::Kind::ApiError;
        answer.error_object = object;
        return answer;
    }
    for (const char* key : { "result", "text" }) {
        if (object.contains(key) && truthy(object[key])) {
            answer.text = text_form(object[key]);
            break;
        }
    }
    return answer;
}

}  // namespace

TurnAnswer interpret_turn_output(int exit_code, std::string_view out, std::string_view err, bool had_session)
{
    if (exit_code != 0)
        return failed_run(exit_code, out, err, had_session);
    return finished_run(out);
}

}  // namespace wrenfold::assistant
