#pragma once

#include <filesystem>
#include <string>

namespace wrenfold {

// Folders that hold passwords, keys or what the assistant is shown: only
// their owner may enter them. On Linux that is mode 0700; on Windows an
// access list naming the user alone, cut from what the parent would pass on.

// Creates the folder and its missing parents, and makes the folder private
// (also when it was there already).
void make_private_directories(const std::filesystem::path& folder);

// A new private folder named `prefix` and random characters, inside `parent`.
std::filesystem::path make_private_temp_folder(const std::filesystem::path& parent, const std::string& prefix);

// Creates one new private folder; fails when the name is taken.
void make_private_folder(const std::filesystem::path& folder);

// Whether the path is a folder (not a link to one) owned by this user and
// closed to everyone else.
bool is_private_folder_of_ours(const std::filesystem::path& folder);

}  // namespace wrenfold
