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
    // The only files the assistant may read: its documents and the runtime prompt file.
    std::vector<std::string> readable_files;
    // The program's data folder (accounts, keys), which the assistant never reads.
    std::string data_dir;
    std::string session_id;
    // Claude Code's stored "primaryApiKey" for an Anthropic turn; "" for none.
    std::string anthropic_api_key;
};

// The argument vector of one non-interactive turn; the message itself goes
// through standard input, never the command line. Text the assistant reads
// (events of shared calendars) may try to steer it, so the turn can do no
// more than read its own documents and fetch web pages: only Read and
// WebFetch exist, Read only on the listed files, everything not allowed is
// refused without asking, and the user's own Claude Code settings and MCP
// servers, written for other work, are not loaded.
std::vector<std::string> turn_arguments(const TurnCommand& turn);

// The child's environment ("NAME=value" entries), chosen from `inherited` by
// name: what finding programs, the locale, temporary files, proxies and a
// desktop sign-in need, and Claude Code's own switches. Cloud keys, tokens and
// agent sockets of the user's session stay behind. An Anthropic turn also
// gets the user's ANTHROPIC_* variables, and ANTHROPIC_API_KEY from the
// stored key when there is one, since Claude Code reads a key from its
// environment but not from its settings file; the key never goes on the
// command line, which other users can read. A DeepSeek turn gets no
// Anthropic key, endpoint or sign-in token at all: its settings file supplies them.
std::vector<std::string> turn_environment(const std::vector<std::string>& inherited, const TurnCommand& turn);

// A turn's time limit in seconds as a duration, held between 1 second and 24
// hours so that no value overflows or waits without end.
std::chrono::milliseconds clamped_turn_time_limit(double seconds);

}  // namespace wrenfold::assistant
