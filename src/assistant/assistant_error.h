#pragma once

#include <stdexcept>

namespace wrenfold::assistant {

// What the assistant's own checks throw: a file or an answer that is not what
// Claude Code or the provider should have left. Its text may reach the page
// or the log.
class AssistantError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace wrenfold::assistant
