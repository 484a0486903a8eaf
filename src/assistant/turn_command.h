#pragma once

#include <chrono>
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
    // Claude Code's stored "primaryApiKey" for an Anthropic turn; "" for none.
    std::string anthropic_api_key;
};

// The argument vector of one non-interactive turn; the message itself goes
// through standard input, never the command line.
std::vector<std::string> turn_arguments(const TurnCommand& turn);

// The child's environment ("NAME=value" entries): `inherited`, plus
// ANTHROPIC_API_KEY when an Anthropic turn has a stored key, since Claude Code
// reads a key from its environment but not from its settings file. The key
// never goes on the command line, which other users can read. A DeepSeek turn
// gets no Anthropic key or sign-in token at all, inherited or stored.
std::vector<std::string> turn_environment(std::vector<std::string> inherited, const TurnCommand& turn);

// A turn's time limit in seconds as a duration, held between 1 second and 24
// hours so that no value overflows or waits without end.
std::chrono::milliseconds clamped_turn_time_limit(double seconds);

}  // namespace wrenfold::assistant
