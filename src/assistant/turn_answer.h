#pragma once

#include "core/json.h"

#include <optional>
#include <string>
#include <string_view>

namespace wrenfold::assistant {

// What a finished `claude -p --output-format json` run amounts to.
struct TurnAnswer {
    enum class Kind {
        Reply,         // text is the assistant's answer
        Failure,       // text is the error to show
        ApiError,      // error_object goes to the API error humaniser
        StaleSession,  // the resumed session is gone: retry once without it
    };
    Kind kind { Kind::Reply };
    std::string text;
    Json error_object;
    // The conversation id the answer carries, to be kept for the next turn.
    std::optional<std::string> session_id;
};

// Reads the child's exit code and outputs. had_session tells whether the
// turn resumed a conversation (only then can an error be a stale session).
TurnAnswer interpret_turn_output(int exit_code, std::string_view out, std::string_view err, bool had_session);

}  // namespace wrenfold::assistant
