#pragma once

#include "core/json.h"

#include <string>

namespace wrenfold::assistant {

// Reads a whole file as JSON. Throws std::system_error when it cannot be
// read, Json::parse_error when it is not JSON and JsonTooDeep when it nests
// too deeply.
Json read_json_file(const std::string& path);

// The file's top-level object, or an empty object when the file is missing,
// unreadable, not JSON or not an object: what a rewrite starts from.
Json read_json_object_or_empty(const std::string& path);

// What a rewrite of `path` starts from, as read_json_object_or_empty; a file
// that is there but unusable (a stray comma from a hand edit) is first kept
// beside it as "<path>.unreadable" (mode 0600), since the rewrite replaces it.
Json read_json_object_for_rewrite(const std::string& path);

// Writes a file that holds keys through the atomic store write (mode 0600,
// temporary file and rename), creating its folder (0700) when missing. A
// symbolic link is written through: its target is replaced, the link stays.
// Throws on failure.
void write_private_json(const std::string& path, const Json& value);

}  // namespace wrenfold::assistant
