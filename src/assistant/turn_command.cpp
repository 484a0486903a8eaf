#include "assistant/turn_command.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace wrenfold::assistant {

namespace {

// Claude Code's path rules take an absolute path with a doubled leading slash.
std::string read_rule(const std::string& path)
{
    return "Read(/" + path + ")";
}

}  // namespace

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
    args.insert(args.end(), { "--permission-mode", "dontAsk", "--tools", "Read,WebFetch", "--allowedTools" });
    for (const auto& file : turn.readable_files)
        args.push_back(read_rule(file));
    args.push_back("WebFetch");
    // Refused even if a later Claude Code offers them, or a settings file allows them.
    args.insert(args.end(), { "--disallowedTools", "Bash", "Edit", "Write", "NotebookEdit" });
    if (!turn.data_dir.empty())
        args.push_back(read_rule(turn.data_dir + "/**"));
    args.insert(args.end(), { "--setting-sources", "", "--strict-mcp-config", "--output-format", "json" });
    if (!turn.session_id.empty())
        args.insert(args.end(), { "--resume", turn.session_id });
    return args;
}

namespace {

constexpr std::string_view kApiKeyEntry = "ANTHROPIC_API_KEY=";

// What any turn's child may see of our environment.
bool passes_to_every_turn(std::string_view name)
{
    static constexpr std::string_view kNames[] = {
        "PATH",
        "HOME",
        "USER",
        "LOGNAME",
        "LANG",
        "LANGUAGE",
        "TZ",
        "TMPDIR",
        "http_proxy",
        "https_proxy",
        "no_proxy",
        "all_proxy",
        "HTTP_PROXY",
        "HTTPS_PROXY",
        "NO_PROXY",
        "ALL_PROXY",
        "SSL_CERT_FILE",
        "SSL_CERT_DIR",
        "NODE_EXTRA_CA_CERTS",
        "DISPLAY",
        "WAYLAND_DISPLAY",
        "XAUTHORITY",
        "XDG_RUNTIME_DIR",
        "DBUS_SESSION_BUS_ADDRESS",
        "BROWSER",
        "CLAUDE_CONFIG_DIR",
        "DISABLE_TELEMETRY",
        "DISABLE_AUTOUPDATER",
        "DISABLE_ERROR_REPORTING",
        "DISABLE_BUG_COMMAND",
        "CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC",
    };
    return name.starts_with("LC_") || std::ranges::find(kNames, name) != std::end(kNames);
}

bool passes_to_anthropic_turns(std::string_view name)
{
    return name.starts_with("ANTHROPIC_") || name == "CLAUDE_CODE_OAUTH_TOKEN";
}

}  // namespace

std::vector<std::string> turn_environment(const std::vector<std::string>& inherited, const TurnCommand& turn)
{
    bool anthropic = turn.provider != "deepseek";
    bool stored_key = anthropic && !turn.anthropic_api_key.empty();
    std::vector<std::string> chosen;
    for (const auto& entry : inherited) {
        std::string_view name = std::string_view(entry).substr(0, entry.find('='));
        if (stored_key && entry.starts_with(kApiKeyEntry))
            continue;
        if (passes_to_every_turn(name) || (anthropic && passes_to_anthropic_turns(name)))
            chosen.push_back(entry);
    }
    if (stored_key)
        chosen.push_back(std::string(kApiKeyEntry) + turn.anthropic_api_key);
    return chosen;
}

std::chrono::milliseconds clamped_turn_time_limit(double seconds)
{
    constexpr double shortest = 1;
    constexpr double longest = 24 * 60 * 60;
    double clamped = std::isnan(seconds) ? shortest : std::clamp(seconds, shortest, longest);
    return std::chrono::milliseconds(static_cast<std::int64_t>(clamped * 1000));
}

}  // namespace wrenfold::assistant
