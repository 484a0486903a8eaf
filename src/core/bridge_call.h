#pragma once

#include "core/json.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace wrenfold {

// What a call through the script bridge came to.
struct BridgeReply {
    enum class Status { Ok, Failed, NoSuchMethod };
    Status status { Status::Ok };
    Json result;        // when Ok
    std::string error;  // when Failed: the text the page's promise rejects with
    // When Ok and not empty: the result already written as JSON text, which
    // the host sends as it is instead of `result`.
    std::string result_json;
};

// An Ok reply's result as JSON text, taken out of the reply: the text it was
// answered in, or its tree written out.
std::string take_result_text(BridgeReply& reply);

// What a bridge host talks to: the table of public methods.
class BridgeTarget {
public:
    virtual ~BridgeTarget() = default;
    // Whether `method` is a public method (names beginning with "_" never are).
    virtual bool has_method(std::string_view method) const = 0;
    // Answers one call: method name and the JSON array of positional arguments.
    // Never throws: whatever the method raises becomes a Failed reply.
    virtual BridgeReply call(std::string_view method, const Json& args) = 0;
};

// A call whose arguments do not fit the method (missing or of the wrong kind).
class BridgeArgumentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The text of a string value; nothing for any other kind, null included.
std::optional<std::string> string_value(const Json& value);

// Positional arguments of one call; missing trailing arguments take defaults.
class BridgeArgs {
public:
    explicit BridgeArgs(const Json& array)
        : m_array(array)
    {
    }

    std::size_t size() const { return m_array.size(); }
    bool has(std::size_t index) const { return index < m_array.size(); }

    // Any JSON value; `fallback` when the argument is absent.
    Json value(std::size_t index, Json fallback = nullptr) const;
    // A required argument of any kind.
    const Json& required(std::size_t index) const;
    // A string argument; null counts as "" so that an empty field from the page is no error.
    std::string text(std::size_t index) const;
    std::string text_or(std::size_t index, std::string fallback) const;
    std::optional<std::string> optional_text(std::size_t index) const;

private:
    const Json& m_array;
};

}  // namespace wrenfold
