#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace wrenfold {

// The largest calendar file handed to the program that the page is shown: its
// text travels to the page and back in one bridge call each way.
inline constexpr std::uintmax_t kMaxOpenedFileBytes = 8u * 1024u * 1024u;

struct OpenedFile {
    std::string name;  // the file's own name, for the preview's heading
    std::string text;
};

// The text of a calendar file another program (the desktop, a later start)
// asks us to show. Throws std::runtime_error saying why when `file` is not an
// absolute path, not a regular file (a folder, a device or a pipe is never
// opened), cannot be read, or holds more than `max_bytes`.
OpenedFile read_opened_file(const std::filesystem::path& file, std::uintmax_t max_bytes = kMaxOpenedFileBytes);

}  // namespace wrenfold
