#pragma once

#include "core/json.h"

#include <exception>
#include <string>

namespace wrenfold {

// The error rule of the bridge methods that answer {"ok": ...} objects:
// engines and platform code throw their own error types (std::exception
// subclasses whose text is meant for the user); a bridge method catches once,
// at its top, and answers through these helpers.

// {"ok": true} followed by the keys of `extra`, in their order.
Json ok_answer(Json extra = Json::object());

// {"ok": false, "error": text} followed by the keys of `extra`, in their order.
Json failed_answer(std::string error, Json extra = Json::object());

// {"ok": false} followed by the keys of `keys`, in their order: for the few
// answers whose failure has no "error" text or puts other keys before it.
Json failed_answer_with(Json keys = Json::object());

// Runs `body`, which answers the method's success object; anything it throws
// becomes failed_answer with the exception's text.
template <typename Body> Json answer_or_failure(Body&& body)
{
    try {
        return body();
    } catch (const std::exception& error) {
        return failed_answer(error.what());
    }
}

}  // namespace wrenfold
