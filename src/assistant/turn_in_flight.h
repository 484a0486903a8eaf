#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace wrenfold::platform {
class ChildProcess;
}

namespace wrenfold::assistant {

// The conversation and the chat turns running in it (the page runs one at a
// time, but two pages may overlap). A reset bumps the generation, so a turn
// that started before it knows it was cancelled, and ends every child.
struct TurnInFlight {
    std::optional<std::string> session_id;
    std::vector<std::shared_ptr<platform::ChildProcess>> children;
    std::int64_t generation { 0 };
};

// The assistant's settings in force, as the settings store holds them.
struct AssistantSettingsInForce {
    std::string model;
    std::string effort;
    std::string provider;
    std::string deepseek_model;
};

}  // namespace wrenfold::assistant
