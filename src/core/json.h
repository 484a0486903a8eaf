#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace wrenfold {

// Every JSON value of the program keeps the insertion order of its object
// keys: results are answered, and stores written, in the order they are built.
using Json = nlohmann::ordered_json;

// null, false, 0, "", [] and {} are false; everything else is true.
bool truthy(const Json& value);

// The text a value stands for in messages: strings unchanged, numbers in plain
// decimal, true/false, null; arrays and objects as compact JSON.
std::string text_form(const Json& value);

// Serialisation of the stores: two-space indent, ": " between key and value,
// non-ASCII characters as themselves, no newline after the closing brace.
std::string dump_pretty(const Json& value);

// Compact serialisation for the wire; invalid UTF-8 is replaced, never thrown on.
std::string dump_compact(const Json& value);

}  // namespace wrenfold
