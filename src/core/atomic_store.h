#pragma once

#include "core/json.h"

#include <filesystem>

namespace wrenfold {

// Replaces the file at `path` with `value` (store format of dump_pretty) as one
// step: a uniquely named temporary file beside it ("<path>.<8 hex>.tmp", mode
// 0600) is written and synced, renamed over the target, and the directory is
// synced so the rename survives a power cut. On failure the temporary file is
// removed and the error rethrown; the old file is untouched.
void atomic_write_json(const std::filesystem::path& path, const Json& value);

// The same replacement for any text: a reader never sees half of it.
void atomic_write_text(const std::filesystem::path& path, std::string_view text);

// Whether `name` is the name of a temporary file of atomic_write_json.
bool is_store_temp_name(const std::string& name);

// Removes the temporary files a crash in the middle of atomic_write_json left
// in `directory`. Errors are ignored: this is housekeeping.
void remove_stale_store_temps(const std::filesystem::path& directory);

// Reads a whole file as bytes; throws std::system_error naming the file.
std::string read_file(const std::filesystem::path& path);

// Keeps the file at `path`, which could not be used and which the next write
// replaces whole (a stray comma from a hand edit), beside it as
// "<path>.unreadable" (mode 0600), so that it can still be mended by hand.
// Never throws: when even that fails, nothing more can be saved of it.
void keep_unreadable_copy(const std::filesystem::path& path) noexcept;

// The text of an error met while loading a store, fit for a log line: the
// parser quotes the last token it read ("; last read: '...'"), which may be
// a password, so that quotation is left out.
std::string load_error_text(const std::exception& error);

}  // namespace wrenfold
