#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace wrenfold::platform {
class ChildProcess;
}

namespace wrenfold::assistant {

// The conversation and the chat turn running in it. A reset bumps the
// generation, so a turn that started before it knows it was cancelled.
struct TurnInFlight {
    std::optional<std::string> session_id;
    std::shared_ptr<platform::ChildProcess> child;
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
