#pragma once

#include <nlohmann/json.hpp>

#include <stdexcept>
#include <string>
#include <string_view>

namespace wrenfold {

// Every JSON value of the program keeps the insertion order of its object
// keys: results are answered, and stores written, in the order they are built.
using Json = nlohmann::ordered_json;

// Arrays and objects nested deeper than this are refused where JSON enters the
// program: copying or destroying such a value recurses once per level, and a
// few tens of thousands of levels overflow a thread's stack.
inline constexpr std::size_t kMaxJsonDepth = 512;

class JsonTooDeep : public std::runtime_error {
public:
    JsonTooDeep();
};

// Whether arrays and objects in the JSON text nest deeper than `limit`
// (brackets inside strings do not count). Needs no valid JSON.
bool json_nesting_exceeds(std::string_view text, std::size_t limit = kMaxJsonDepth);

// Parses JSON text. Throws JsonTooDeep for nesting deeper than
// kMaxJsonDepth and Json::parse_error for anything else that is not JSON.
Json parse_json(std::string_view text);

// As parse_json, but a discarded value instead of an exception.
Json parse_json_or_discarded(std::string_view text);

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
