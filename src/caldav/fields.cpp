#include "caldav/fields.h"

#include "caldav/engine.h"

namespace wrenfold::caldav {
namespace {

std::optional<std::string> text_field(const Json& fields, const char* key)
{
    auto it = fields.find(key);
    if (it == fields.end() || it->is_null())
        return std::nullopt;
    if (!it->is_string())
        throw CalDavError(std::string("field \"") + key + "\" must be a string");
    return it->get<std::string>();
}

std::optional<std::vector<long long>> alerts_field(const Json& fields)
{
    auto it = fields.find("alerts");
    if (it == fields.end() || it->is_null())
        return std::nullopt;
    constexpr std::size_t kMaxAlerts = 8;
    if (!it->is_array() || it->size() > kMaxAlerts)
        throw CalDavError("field \"alerts\" must be a list of minutes");
    std::vector<long long> minutes;
    for (const Json& alert : *it) {
        if (!alert.is_number_integer())
            throw CalDavError("field \"alerts\" must be a list of minutes");
        minutes.push_back(alert.get<long long>());
    }
    return minutes;
}

}  // namespace

EventFields parse_fields(const Json& fields)
{
    if (fields.is_null())
        return {};
    if (!fields.is_object())
        throw CalDavError("event fields must be an object");
    EventFields out;
    out.uid = text_field(fields, "uid");
    out.summary = text_field(fields, "summary");
    out.location = text_field(fields, "location");
    out.description = text_field(fields, "description");
    out.start = text_field(fields, "start");
    out.end = text_field(fields, "end");
    out.rrule = text_field(fields, "rrule");
    out.recurrence_id = text_field(fields, "recurrence_id");
    if (out.recurrence_id && out.recurrence_id->empty())
        out.recurrence_id.reset();
    if (out.uid && out.uid->empty())
        out.uid.reset();
    out.tzid = text_field(fields, "tzid");
    if (out.tzid && out.tzid->empty())
        out.tzid.reset();
    auto scope = text_field(fields, "scope");
    if (scope && !scope->empty() && *scope != "this" && *scope != "all" && *scope != "future")
        throw CalDavError("field \"scope\" must be \"this\", \"future\" or \"all\"");
    out.whole_series = scope && *scope == "all";
    out.from_here_on = scope && *scope == "future" && out.recurrence_id;
    out.alerts = alerts_field(fields);
    auto all_day = fields.find("all_day");
    if (all_day != fields.end() && !all_day->is_null()) {
        if (!all_day->is_boolean())
            throw CalDavError("field \"all_day\" must be true or false");
        out.all_day = all_day->get<bool>();
    }
    return out;
}

}  // namespace wrenfold::caldav
