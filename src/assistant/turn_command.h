#pragma once

#include <string>
#include <vector>

namespace wrenfold::assistant {

// Everything one chat turn's command line depends on.
struct TurnCommand {
    std::string executable;
    std::string provider;  // "deepseek" selects the DeepSeek settings file; anything else is Anthropic
    std::string model;
    std::string deepseek_model;
    std::string effort;
    std::string deepseek_settings_path;
    std::string architecture_dir;
    std::string system_prompt;
    std::string runtime_prompt_dir;  // where the runtime prompt file went, "" when nowhere
    std::string session_id;
};

// The argument vector of one non-interactive turn; the message itself goes
// through standard input, never the command line.
std::vector<std::string> turn_arguments(const TurnCommand& turn);

}  // namespace wrenfold::assistant
