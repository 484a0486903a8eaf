#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace wrenfold::assistant {

// How a platform writes PATH lists and decides that two entries name the
// same folder.
struct PathSyntax {
    char list_separator;
    bool backslash_separates;  // "\" is a path separator as well as "/"
    bool fold_case;            // file names compare without letter case
};
inline constexpr PathSyntax kWindowsPaths { ';', true, true };
inline constexpr PathSyntax kPosixPaths { ':', false, false };

// The form in which two PATH entries are compared: redundant separators,
// "." and ".." collapsed, separators unified, then letter case folded where
// the platform ignores it. %NAME% references stay unexpanded.
std::string normalized_path_entry(std::string_view entry, const PathSyntax& syntax);

// The non-empty entries of a PATH list, in order.
std::vector<std::string> path_entries(std::string_view list, const PathSyntax& syntax);

struct UserPathUpdate {
    std::string value;
    bool changed { false };
};

// Appends each install folder that exists and that the user PATH does not
// already name, in order.
UserPathUpdate add_install_folders(const std::string& user_path, const std::vector<std::string>& install_folders,
                                   const std::function<bool(const std::string&)>& folder_exists,
                                   const PathSyntax& syntax);

// The process PATH with the user PATH's entries that it lacks appended, as
// written; process entries keep their order and come first, empty entries go.
std::string merge_user_path(const std::string& process_path, const std::string& user_path, const PathSyntax& syntax);

}  // namespace wrenfold::assistant
