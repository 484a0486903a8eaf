#include "assistant/action_payload.h"

#include "assistant/exe_discovery.h"

#include <algorithm>
#include <map>
#include <vector>

namespace wrenfold::assistant {

namespace {

constexpr const char* kHolidayCalendarUrl = "local:tw_holidays";

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

namespace {

// One listed event with the calendar and account it came from.
struct QueriedEvent {
    const caldav::EventRecord* event;
    const FetchTask* source;
};

std::vector<QueriedEvent> events_to_answer(const std::vector<CalendarListing>& listings,
                                           const std::string& calendar_filter)
{
    auto filter = fold_case(trim(calendar_filter));
    std::vector<QueriedEvent> kept;
    for (const CalendarListing& listing : listings) {
        const Calendar& calendar = listing.source.calendar;
        if (listing.error || calendar.url == kHolidayCalendarUrl)
            continue;
        if (!filter.empty() && fold_case(trim(calendar.name)) != filter)
            continue;
        for (const caldav::EventRecord& event : listing.events)
            kept.push_back({ &event, &listing.source });
    }
    std::stable_sort(kept.begin(), kept.end(),
                     [](const QueriedEvent& a, const QueriedEvent& b) { return a.event->start < b.event->start; });
    return kept;
}

Json query_item(const QueriedEvent& queried, bool recurring, bool name_accounts)
{
    const caldav::EventRecord& event = *queried.event;
    Json item { { "summary", event.summary },   { "start", event.start },
                { "end", event.end },           { "all_day", event.all_day },
                { "location", event.location }, { "calendar", queried.source->calendar.name },
                { "recurring", recurring },     { "url", event.url },
                { "etag", event.etag } };
    if (name_accounts)
        item["account"] = queried.source->account.apple_id;
    return item;
}

}  // namespace

Json query_items(const std::vector<CalendarListing>& listings, const std::string& calendar_filter, bool name_accounts)
{
    std::vector<QueriedEvent> firsts;
    std::vector<int> occurrences;
    std::map<std::string, std::size_t> position_of_url;
    for (const QueriedEvent& queried : events_to_answer(listings, calendar_filter)) {
        const std::string& url = queried.event->url;
        if (!url.empty()) {
            auto [it, fresh] = position_of_url.emplace(url, firsts.size());
            if (!fresh) {
                ++occurrences[it->second];
                continue;
            }
        }
        firsts.push_back(queried);
        occurrences.push_back(1);
    }

    Json items = Json::array();
    for (std::size_t i = 0; i < firsts.size(); ++i)
        items.push_back(query_item(firsts[i], firsts[i].event->recurring || occurrences[i] > 1, name_accounts));
    return items;
}

}  // namespace wrenfold::assistant
