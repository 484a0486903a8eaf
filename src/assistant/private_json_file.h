#pragma once

#include "core/json.h"

#include <string>

namespace wrenfold::assistant {

// Reads a whole file as JSON. Throws std::runtime_error when it cannot be
// read and Json::parse_error when it is not JSON.
Json read_json_file(const std::string& path);

// The file's top-level object, or an empty object when the file is missing,
// unreadable, not JSON or not an object: what a rewrite starts from.
Json read_json_object_or_empty(const std::string& path);

// Writes a file that holds keys: folder created (0700) when missing, content
// in the store format to a temporary file of mode 0600 beside it, flushed,
// then renamed over the target, so a reader never sees half a file and
// nobody else can read it. Throws std::system_error on failure.
void write_private_json(const std::string& path, const Json& value);

}  // namespace wrenfold::assistant
