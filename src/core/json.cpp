#include "core/json.h"

namespace wrenfold {

JsonTooDeep::JsonTooDeep()
    : std::runtime_error("not valid JSON: nested deeper than " + std::to_string(kMaxJsonDepth) + " levels")
{
}

bool json_nesting_exceeds(std::string_view text, std::size_t limit)
{
    std::size_t depth = 0;
    bool in_string = false;
    bool escaped = false;
    for (char c : text) {
        if (in_string) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                in_string = false;
            continue;
        }
        if (c == '"') {
            in_string = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit)
                return true;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return false;
}

Json parse_json(std::string_view text)
{
    if (json_nesting_exceeds(text))
        throw JsonTooDeep();
    return Json::parse(text);
}

Json parse_json_or_discarded(std::string_view text)
{
    if (json_nesting_exceeds(text))
        return Json(Json::value_t::discarded);
    return Json::parse(text, nullptr, false);
}

bool truthy(const Json& value)
{
    switch (value.type()) {
    case Json::value_t::null:
        return false;
    case Json::value_t::boolean:
        return value.get<bool>();
    case Json::value_t::number_integer:
        return value.get<std::int64_t>() != 0;
    case Json::value_t::number_unsigned:
        return value.get<std::uint64_t>() != 0;
    case Json::value_t::number_float:
        return value.get<double>() != 0.0;
    case Json::value_t::string:
        return !value.get_ref<const std::string&>().empty();
    case Json::value_t::array:
    case Json::value_t::object:
    case Json::value_t::binary:
        return !value.empty();
    case Json::value_t::discarded:
        return false;
    }
    return false;
}

std::string text_form(const Json& value)
{
    if (value.is_string())
        return value.get<std::string>();
    return dump_compact(value);
}

std::string dump_pretty(const Json& value)
{
    return value.dump(2, ' ', false, Json::error_handler_t::replace);
}

std::string dump_compact(const Json& value)
{
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace wrenfold
