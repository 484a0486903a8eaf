#include "assistant/action_payload.h"

#include "assistant/exe_discovery.h"

#include <algorithm>
#include <map>
#include <vector>

namespace wrenfold::assistant {

namespace {

constexpr const char* kHolidayCalendarUrl = "local:tw_holidays";

Json value_or(const Json& object, const char* key, const Json& fallback)
{
    return object.contains(key) ? object[key] : fallback;
}

}  // namespace

std::optional<FieldKind> event_field_kind(const std::string& field)
{
    static const std::map<std::string, FieldKind> kinds {
        { "summary", FieldKind::Text },       { "start", FieldKind::Text },    { "end", FieldKind::Text },
        { "all_day", FieldKind::TruthValue }, { "location", FieldKind::Text }, { "description", FieldKind::Text },
        { "rrule", FieldKind::Text },         { "calendar", FieldKind::Text },
    };
    auto it = kinds.find(field);
    if (it == kinds.end())
        return std::nullopt;
    return it->second;
}

Json normalized_field(FieldKind kind, const Json& value)
{
    if (kind == FieldKind::TruthValue)
        return truthy(value);
    return value.is_null() ? std::string() : text_form(value);
}

Json clean_event_fields(const Json& payload)
{
    Json clean = Json::object();
    for (const auto& [key, value] : payload.items()) {
        if (auto kind = event_field_kind(key))
            clean[key] = normalized_field(*kind, value);
    }
    return clean;
}

std::string payload_text(const Json& payload, const char* key)
{
    if (!payload.is_object() || !payload.contains(key))
        return "";
    const Json& value = payload[key];
    return value.is_null() ? "" : text_form(value);
}

Json query_items(const Json& events, const std::string& calendar_filter, const std::vector<Account>& accounts)
{
    auto filter = fold_case(trim(calendar_filter));
    std::vector<Json> kept;
    for (const auto& event : events) {
        if (value_or(event, "calendar_url", "") == kHolidayCalendarUrl)
            continue;
        if (!filter.empty() && fold_case(trim(text_form(value_or(event, "calendar_name", "")))) != filter)
            continue;
        kept.push_back(event);
    }
    std::stable_sort(kept.begin(), kept.end(), [](const Json& a, const Json& b) {
        return text_form(value_or(a, "start", "")) < text_form(value_or(b, "start", ""));
    });

    std::vector<Json> firsts;
    std::vector<int> occurrences;
    std::map<std::string, std::size_t> position_of_url;
    for (const auto& event : kept) {
        auto url = text_form(value_or(event, "url", ""));
        if (!url.empty()) {
            auto [it, fresh] = position_of_url.emplace(url, firsts.size());
            if (!fresh) {
                ++occurrences[it->second];
                continue;
            }
        }
        firsts.push_back(event);
        occurrences.push_back(1);
    }

    bool multi = accounts.size() >= 2;
    std::map<std::string, std::string> apple_id_of;
    for (const Account& account : accounts)
        apple_id_of[account.id] = account.apple_id;

    Json items = Json::array();
    for (std::size_t i = 0; i < firsts.size(); ++i) {
        const Json& event = firsts[i];
        Json item { { "summary", value_or(event, "summary", "") },
                    { "start", value_or(event, "start", "") },
                    { "end", value_or(event, "end", "") },
                    { "all_day", value_or(event, "all_day", false) },
                    { "location", value_or(event, "location", "") },
                    { "calendar", value_or(event, "calendar_name", "") },
                    { "recurring", truthy(value_or(event, "recurring", false)) || occurrences[i] > 1 },
                    { "url", value_or(event, "url", "") },
                    { "etag", value_or(event, "etag", "") } };
        if (multi) {
            auto it = apple_id_of.find(text_form(value_or(event, "account_id", "")));
            item["account"] = it == apple_id_of.end() ? "" : it->second;
        }
        items.push_back(item);
    }
    return items;
}

}  // namespace wrenfold::assistant
