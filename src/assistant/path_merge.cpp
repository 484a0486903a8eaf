#include "assistant/path_merge.h"

#include "assistant/exe_discovery.h"

#include <set>

namespace wrenfold::assistant {

namespace {

bool is_separator(char c, const PathSyntax& syntax)
{
    return c == '/' || (syntax.backslash_separates && c == '\\');
}

}  // namespace

std::string normalized_path_entry(std::string_view entry, const PathSyntax& syntax)
{
    char separator = syntax.backslash_separates ? '\\' : '/';
    bool rooted = !entry.empty() && is_separator(entry.front(), syntax);
    std::vector<std::string> parts;
    std::string part;
    auto close_part = [&] {
        if (part.empty() || part == ".") {
        } else if (part == ".." && !parts.empty() && parts.back() != "..") {
            parts.pop_back();
        } else if (part != ".." || !rooted) {
            parts.push_back(part);
        }
        part.clear();
    };
    for (char c : entry) {
        if (is_separator(c, syntax))
            close_part();
        else
            part += c;
    }
    close_part();

    std::string normal = rooted ? std::string(1, separator) : "";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            normal += separator;
        normal += parts[i];
    }
    if (normal.empty())
        normal = ".";
    return syntax.fold_case ? to_lower_ascii(normal) : normal;
}

std::vector<std::string> path_entries(std::string_view list, const PathSyntax& syntax)
{
    std::vector<std::string> entries;
    std::size_t begin = 0;
    while (begin <= list.size()) {
        auto end = list.find(syntax.list_separator, begin);
        if (end == std::string_view::npos)
            end = list.size();
        if (end > begin)
            entries.emplace_back(list.substr(begin, end - begin));
        begin = end + 1;
    }
    return entries;
}

UserPathUpdate add_install_folders(const std::string& user_path, const std::vector<std::string>& install_folders,
                                   const std::function<bool(const std::string&)>& folder_exists,
                                   const PathSyntax& syntax)
{
    UserPathUpdate update { user_path, false };
    for (const auto& folder : install_folders) {
        if (folder.empty() || !folder_exists(folder))
            continue;
        auto wanted = normalized_path_entry(folder, syntax);
        bool present = false;
        for (const auto& entry : path_entries(update.value, syntax))
            present = present || normalized_path_entry(entry, syntax) == wanted;
        if (present)
            continue;
        if (!update.value.empty())
            update.value += syntax.list_separator;
        update.value += folder;
        update.changed = true;
    }
    return update;
}

std::string merge_user_path(const std::string& process_path, const std::string& user_path, const PathSyntax& syntax)
{
    std::vector<std::string> kept = path_entries(process_path, syntax);
    std::set<std::string> seen;
    for (const auto& entry : kept)
        seen.insert(normalized_path_entry(entry, syntax));
    for (const auto& entry : path_entries(user_path, syntax)) {
        if (seen.insert(normalized_path_entry(entry, syntax)).second)
            kept.push_back(entry);
    }
    std::string merged;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (i > 0)
            merged += syntax.list_separator;
        merged += kept[i];
    }
    return merged;
}

}  // namespace wrenfold::assistant
