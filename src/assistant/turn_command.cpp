#include "assistant/turn_command.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace wrenfold::assistant {

std::vector<std::string> turn_arguments(const TurnCommand& turn)
{
    bool deepseek = turn.provider == "deepseek";
    std::vector<std::string> args { turn.executable, "-p" };
    if (deepseek) {
        args.insert(args.end(), { "--settings", turn.deepseek_settings_path });
        if (!turn.deepseek_model.empty())
            args.insert(args.end(), { "--model", turn.deepseek_model });
    } else {
        args.insert(args.end(), { "--model", turn.model });
    }
    args.insert(args.end(), { "--append-system-prompt", turn.system_prompt, "--add-dir", turn.architecture_dir });
    if (!deepseek && !turn.effort.empty())
        args.insert(args.end(), { "--effort", turn.effort });
    if (!turn.runtime_prompt_dir.empty() && turn.runtime_prompt_dir != turn.architecture_dir)
        args.insert(args.end(), { "--add-dir", turn.runtime_prompt_dir });
    args.insert(args.end(), { "--permission-mode", "bypassPermissions", "--output-format", "json" });
    if (!turn.session_id.empty())
        args.insert(args.end(), { "--resume", turn.session_id });
    return args;
}

namespace {

constexpr std::string_view kApiKeyEntry = "ANTHROPIC_API_KEY=";
constexpr std::string_view kOauthTokenEntry = "CLAUDE_CODE_OAUTH_TOKEN=";

void drop_entries(std::vector<std::string>& environment, std::string_view prefix)
{
    std::erase_if(environment, [&](const std::string& entry) { return entry.starts_with(prefix); });
}

}  // namespace

std::vector<std::string> turn_environment(std::vector<std::string> inherited, const TurnCommand& turn)
{
    if (turn.provider == "deepseek") {
        // Claude Code would send these to whatever endpoint the settings file
        // names, beside the DeepSeek token.
        drop_entries(inherited, kApiKeyEntry);
        drop_entries(inherited, kOauthTokenEntry);
        return inherited;
    }
    if (turn.anthropic_api_key.empty())
        return inherited;
    drop_entries(inherited, kApiKeyEntry);
    inherited.push_back(std::string(kApiKeyEntry) + turn.anthropic_api_key);
    return inherited;
}

std::chrono::milliseconds clamped_turn_time_limit(double seconds)
{
    constexpr double shortest = 1;
    constexpr double longest = 24 * 60 * 60;
    double clamped = std::isnan(seconds) ? shortest : std::clamp(seconds, shortest, longest);
    return std::chrono::milliseconds(static_cast<std::int64_t>(clamped * 1000));
}

}  // namespace wrenfold::assistant
