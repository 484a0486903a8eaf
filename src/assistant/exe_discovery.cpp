#include "assistant/exe_discovery.h"

#include <algorithm>
#include <array>

namespace wrenfold::assistant {

namespace {

std::string join(std::string base, std::initializer_list<std::string_view> components)
{
    for (auto component : components) {
        if (!base.empty() && base.back() != '/')
            base += '/';
        base += component;
    }
    return base;
}

bool ends_with_ci(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && to_lower_ascii(text.substr(text.size() - suffix.size())) == suffix;
}

}  // namespace

std::string trim(std::string_view text)
{
    return trim_unicode(text);
}

std::string to_lower_ascii(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return lower;
}

std::string home_folder(const platform::Environment& environment)
{
    auto profile = environment.get_or_empty("USERPROFILE");
    if (!profile.empty())
        return profile;
    return environment.get_or_empty("HOME");
}

const std::vector<std::string>& claude_command_names()
{
    static const std::vector<std::string> names { "claude", "claude.cmd", "claude.exe" };
    return names;
}

std::vector<std::string> claude_fallback_locations(const platform::Environment& environment)
{
    std::vector<std::string> locations;
    auto home = home_folder(environment);
    auto local_app_data = environment.get_or_empty("LOCALAPPDATA");
    auto app_data = environment.get_or_empty("APPDATA");
    if (!home.empty()) {
        locations.push_back(join(home, { ".local", "bin", "claude" }));
        locations.push_back(join(home, { ".local", "bin", "claude.exe" }));
        locations.push_back(join(home, { ".local", "bin", "claude.cmd" }));
    }
    if (!local_app_data.empty()) {
        locations.push_back(join(local_app_data, { "Programs", "claude", "claude.exe" }));
        locations.push_back(join(local_app_data, { "Programs", "claude", "claude.cmd" }));
    }
    if (!app_data.empty()) {
        locations.push_back(join(app_data, { "npm", "claude.cmd" }));
        locations.push_back(join(app_data, { "npm", "claude.ps1" }));
    }
    auto program_files = environment.get_or_empty("ProgramFiles");
    if (!program_files.empty())
        locations.push_back(join(program_files, { "nodejs", "claude.cmd" }));
    std::erase_if(locations, [](const std::string& location) { return !location.starts_with('/'); });
    return locations;
}

std::string absolute_search_path(std::string_view search_path)
{
    std::string kept;
    while (true) {
        auto end = search_path.find(':');
        auto entry = search_path.substr(0, end);
        if (entry.starts_with('/')) {
            if (!kept.empty())
                kept += ':';
            kept += entry;
        }
        if (end == std::string_view::npos)
            return kept;
        search_path.remove_prefix(end + 1);
    }
}

bool is_valid_tool_name(std::string_view name)
{
    auto alnum = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); };
    if (name.empty() || name.size() > 64 || !alnum(name.front()))
        return false;
    return std::all_of(name.begin() + 1, name.end(),
                       [&](char c) { return alnum(c) || c == '.' || c == '_' || c == '+' || c == '-'; });
}

std::string tool_file_name(const std::string& name)
{
    for (auto suffix : { ".exe", ".cmd", ".bat" }) {
        if (ends_with_ci(name, suffix))
            return name;
    }
    return name + ".exe";
}

std::string expand_percent_variables(std::string_view text, const platform::Environment& environment)
{
    std::string expanded;
    while (!text.empty()) {
        auto open = text.find('%');
        auto close = open == std::string_view::npos ? open : text.find('%', open + 1);
        if (close == std::string_view::npos) {
            expanded += text;
            break;
        }
        auto value = environment.get(std::string(text.substr(open + 1, close - open - 1)));
        if (value) {
            expanded += text.substr(0, open);
            expanded += *value;
            text.remove_prefix(close + 1);
        } else {
            // Keep the "%" and look for a reference that starts at the next one.
            expanded += text.substr(0, close);
            text.remove_prefix(close);
        }
    }
    return expanded;
}

std::vector<std::string> tool_probe_candidates(const std::string& file_name, const platform::Environment& environment)
{
    static const std::array<std::string_view, 6> probe_folders {
        "%LOCALAPPDATA%/Android/Sdk/platform-tools",
        "%ProgramFiles%/Android/android-sdk/platform-tools",
        "%ProgramFiles(x86)%/Android/android-sdk/platform-tools",
        "%USERPROFILE%/scoop/shims",
        "%ProgramData%/chocolatey/bin",
        "%LOCALAPPDATA%/Microsoft/WinGet/Links",
    };
    std::vector<std::string> candidates;
    for (auto folder : probe_folders) {
        auto path = join(expand_percent_variables(folder, environment), { file_name });
        if (path.find('%') == std::string::npos)
            candidates.push_back(path);
    }
    return candidates;
}

}  // namespace wrenfold::assistant
