#include "core/json.h"

namespace wrenfold {

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
