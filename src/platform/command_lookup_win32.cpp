#include "platform/command_lookup.h"

#include "core/wide_text.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <vector>

namespace wrenfold::platform {

namespace {

// What Windows itself assumes when PATHEXT is not set.
constexpr std::string_view kDefaultPathExtensions = ".COM;.EXE;.BAT;.CMD";

std::vector<std::string> split_entries(std::string_view list)
{
    std::vector<std::string> entries;
    std::size_t begin = 0;
    while (begin <= list.size()) {
        std::size_t end = std::min(list.find(';', begin), list.size());
        std::string entry(list.substr(begin, end - begin));
        entry.erase(std::remove(entry.begin(), entry.end(), '"'), entry.end());
        if (!entry.empty())
            entries.push_back(std::move(entry));
        begin = end + 1;
    }
    return entries;
}

bool ends_with_without_case(std::string_view text, std::string_view suffix)
{
    if (suffix.size() > text.size())
        return false;
    return std::equal(
        suffix.begin(), suffix.end(), text.end() - static_cast<std::ptrdiff_t>(suffix.size()), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        });
}

DWORD attributes_of(const std::string& path)
{
    return path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(to_wide(path).c_str());
}

std::string process_variable(const wchar_t* name)
{
    DWORD needed = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (needed == 0)
        return "";
    std::wstring value(needed, L'\0');
    DWORD got = ::GetEnvironmentVariableW(name, value.data(), needed);
    value.resize(got);
    return from_wide(value);
}

// Absolute, so that a path found there still holds after a change of folder.
std::string current_folder()
{
    DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring folder(needed, L'\0');
    folder.resize(::GetCurrentDirectoryW(needed, folder.data()));
    return folder.empty() ? "." : from_wide(folder);
}

}  // namespace

bool is_regular_file(const std::string& path)
{
    DWORD attributes = attributes_of(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool is_directory(const std::string& path)
{
    DWORD attributes = attributes_of(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::string> find_on_search_path(std::string_view name, std::string_view search_path,
                                               std::string_view path_extensions)
{
    if (name.empty() || name.find_first_of("/\\:") != std::string_view::npos)
        return std::nullopt;
    auto extensions = split_entries(path_extensions.empty() ? kDefaultPathExtensions : path_extensions);
    bool has_own_extension = std::any_of(extensions.begin(), extensions.end(), [&](const std::string& extension) {
        return ends_with_without_case(name, extension);
    });
    std::vector<std::string> candidates;
    if (has_own_extension)
        candidates.emplace_back(name);
    else
        for (const auto& extension : extensions)
            candidates.push_back(std::string(name) + extension);

    std::vector<std::string> folders { current_folder() };
    for (auto& entry : split_entries(search_path))
        folders.push_back(std::move(entry));
    for (const auto& folder : folders) {
        std::string prefix = folder;
        if (prefix.back() != '\\' && prefix.back() != '/')
            prefix += '\\';
        for (const auto& candidate : candidates) {
            if (is_regular_file(prefix + candidate))
                return prefix + candidate;
        }
    }
    return std::nullopt;
}

std::optional<std::string> find_on_search_path(std::string_view name, std::string_view search_path)
{
    return find_on_search_path(name, search_path, process_variable(L"PATHEXT"));
}

}  // namespace wrenfold::platform
