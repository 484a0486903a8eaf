#include "core/bridge_call.h"

namespace wrenfold {

std::string take_result_text(BridgeReply& reply)
{
    if (!reply.result_json.empty())
        return std::move(reply.result_json);
    return dump_compact(reply.result);
}

Json BridgeArgs::value(std::size_t index, Json fallback) const
{
    return has(index) ? m_array[index] : std::move(fallback);
}

const Json& BridgeArgs::required(std::size_t index) const
{
    if (!has(index))
        throw BridgeArgumentError("missing argument " + std::to_string(index + 1));
    return m_array[index];
}

std::string BridgeArgs::text(std::size_t index) const
{
    const Json& arg = required(index);
    if (arg.is_null())
        return "";
    if (!arg.is_string())
        throw BridgeArgumentError("argument " + std::to_string(index + 1) + " must be a string");
    return arg.get<std::string>();
}

std::string BridgeArgs::text_or(std::size_t index, std::string fallback) const
{
    return has(index) ? text(index) : std::move(fallback);
}

std::optional<std::string> string_value(const Json& value)
{
    if (value.is_string())
        return value.get<std::string>();
    return std::nullopt;
}

std::optional<std::string> BridgeArgs::optional_text(std::size_t index) const
{
    if (!has(index) || m_array[index].is_null())
        return std::nullopt;
    return text(index);
}

}  // namespace wrenfold
