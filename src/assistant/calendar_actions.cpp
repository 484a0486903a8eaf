// The calendar actions the assistant proposes and the page carries out after
// the user confirms: query, create, update (in place or into another
// calendar) and delete. Each takes the payload as the assistant wrote it and
// answers a small object the page feeds back to the assistant.
#include "app/wrenfold_app.h"

#include "assistant/action_payload.h"
#include "assistant/calendar_choice.h"
#include "assistant/exe_discovery.h"
#include "caldav/engine.h"
#include "core/bridge_answer.h"

#include <exception>

namespace wrenfold {

using namespace assistant;

namespace {

Json field_or(const Json& object, const char* key, const Json& fallback)
{
    return object.is_object() && object.contains(key) ? object[key] : fallback;
}

// The fields an update starts from: the event as the server holds it.
Json stored_fields(const caldav::EventRecord& current)
{
    return Json { { "uid", current.uid },
                  { "summary", current.summary },
                  { "start", current.start },
                  { "end", current.end },
                  { "all_day", current.all_day },
                  { "location", current.location },
                  { "description", current.description },
                  { "rrule", current.rrule } };
}

// A text the engine may have left out, as null when it did.
Json text_or_null(const std::optional<std::string>& text)
{
    return text ? Json(*text) : Json(nullptr);
}

// Only the fields the payload names are replaced; the uid never is.
void apply_payload_fields(Json& fields, const Json& payload)
{
    for (const char* key : { "summary", "start", "end", "all_day", "location", "description", "rrule" }) {
        if (payload.contains(key))
            fields[key] = normalized_field(*event_field_kind(key), payload[key]);
    }
}

// What goes to the engine. The times read back are the event's as stored,
// which the engine leaves alone; for one occurrence of a series they are the
// series' first, so there only the times the payload names go along.
Json engine_fields(Json fields, const Json& payload)
{
    auto occurrence = payload.find("recurrence_id");
    if (occurrence == payload.end() || !occurrence->is_string() || occurrence->get<std::string>().empty())
        return fields;
    for (const char* key : { "start", "end", "all_day" }) {
        if (!payload.contains(key))
            fields.erase(key);
    }
    fields["recurrence_id"] = *occurrence;
    if (payload.contains("scope") && payload["scope"].is_string())
        fields["scope"] = payload["scope"];
    return fields;
}

bool same_name(const std::string& a, const std::string& b)
{
    return equal_ignoring_case(trim(a), trim(b));
}

// Whether the calendar resolution found the calendar the assistant asked for,
// rather than falling back to the default one.
bool is_requested_calendar(const Calendar& calendar, const std::string& target_url, const std::string& target_name)
{
    if (!target_url.empty() && target_url == calendar.url)
        return true;
    return !target_name.empty() && same_name(target_name, calendar.name);
}

// The event an update or delete is about: its URL and the account holding
// it, or the failure to answer instead.
struct AddressedEvent {
    std::string url;
    Account account;
    std::optional<Json> refusal;
};

AddressedEvent addressed_event(const WrenfoldApp& app, const Json& payload)
{
    AddressedEvent event { payload_text(payload, "url"), {}, std::nullopt };
    if (event.url.empty())
        event.refusal = failed_answer(app._t("err.ai_event.need_url"));
    else if (auto account = app._account_for_url(event.url))
        event.account = *account;
    else
        event.refusal = failed_answer(app._t("err.ai_event.no_calendar"));
    return event;
}

// Whether the event's present calendar is already the target.
bool holds(const std::optional<Calendar>& current_calendar, const Calendar& target)
{
    return current_calendar && current_calendar->url == target.url;
}

// Whether the payload names, by name alone, the calendar the event is in. The
// lookup by name would pick the first account's calendar of that name, and
// another account listed first may have one: the event would leave its
// account although the user saw the same calendar name before and after.
bool names_own_calendar(const std::optional<Calendar>& current_calendar, const Account& account,
                        const std::string& target_url, const std::string& target_name, const std::string& account_hint)
{
    if (!current_calendar || !target_url.empty() || target_name.empty() ||
        !same_name(target_name, current_calendar->name))
        return false;
    return trim(account_hint).empty() || account_matches(account, account_hint);
}

Json in_place_result(const Json& fields, const Json& url, const Json& etag)
{
    return ok_answer({ { "summary", fields["summary"] },
                       { "start", fields["start"] },
                       { "end", fields["end"] },
                       { "all_day", truthy(fields["all_day"]) },
                       { "url", url },
                       { "etag", etag } });
}

}  // namespace

std::string WrenfoldApp::_default_calendar_url() const
{
    Json url = setting("default_calendar", "");
    return url.is_string() ? url.get<std::string>() : "";
}

std::optional<CalendarChoice> WrenfoldApp::_default_calendar() const
{
    return default_calendar(accounts_snapshot(), _default_calendar_url());
}

std::optional<CalendarChoice> WrenfoldApp::_resolve_calendar(const std::string& name, const std::string& account_hint,
                                                             const std::string& calendar_url) const
{
    return resolve_calendar(accounts_snapshot(), _default_calendar_url(), name, account_hint, calendar_url);
}

Json WrenfoldApp::claude_query_events(const Json& payload)
{
    if (!payload.is_object())
        return failed_answer(_t("err.ai_event.bad_payload"));
    auto start = payload_text(payload, "start");
    auto end = payload_text(payload, "end");
    if (start.empty() || end.empty())
        return failed_answer(_t("err.ai_event.need_range"));
    std::vector<Account> known = accounts_snapshot();
    if (known.empty())
        return ok_answer({ { "events", Json::array() }, { "count", 0 }, { "no_account", true } });

    // Calendars that failed to load simply contribute nothing.
    auto listings = _list_calendars(parse_query_date(start), parse_query_date(end), false);
    Json items = query_items(listings, payload_text(payload, "calendar"), known.size() >= 2);
    return ok_answer({ { "events", items }, { "count", items.size() } });
}

Json WrenfoldApp::claude_create_event(const Json& payload)
{
    if (!payload.is_object())
        return failed_answer(_t("err.ai_event.bad_payload"));
    Json clean = clean_event_fields(payload);
    if (trim(payload_text(clean, "summary")).empty())
        return failed_answer(_t("err.ai_event.need_summary"));
    if (payload_text(clean, "start").empty())
        return failed_answer(_t("err.ai_event.need_start"));
    auto calendar_name = payload_text(clean, "calendar");
    clean.erase("calendar");

    auto chosen =
        _resolve_calendar(calendar_name, payload_text(payload, "account"), payload_text(payload, "calendar_url"));
    if (!chosen)
        return failed_answer(_t("err.ai_event.no_calendar"));
    return answer_or_failure([&] {
        caldav::WriteResult created = _engine_for(chosen->account)->create_event(chosen->calendar.url, clean);
        _sync_after_write(chosen->account, { chosen->calendar.url });
        _bump_refresh();
        return ok_answer({ { "summary", field_or(clean, "summary", nullptr) },
                           { "calendar", chosen->calendar.name },
                           { "account", chosen->account.apple_id },
                           { "start", clean["start"] },
                           { "end", field_or(clean, "end", nullptr) },
                           { "all_day", truthy(field_or(clean, "all_day", false)) },
                           { "location", field_or(clean, "location", "") },
                           { "url", text_or_null(created.url) },
                           { "etag", text_or_null(created.etag) } });
    });
}

Json WrenfoldApp::claude_update_event(const Json& payload)
{
    // Named references rather than a structured binding: the lambdas below
    // capture them, which clang 14 does not allow for bindings.
    const AddressedEvent addressed = addressed_event(*this, payload);
    if (addressed.refusal)
        return *addressed.refusal;
    const std::string& url = addressed.url;
    const Account& account = addressed.account;
    auto engine = _engine_for(account);
    return answer_or_failure([&] {
        caldav::EventRecord current = engine->get_event(url);
        Json fields = stored_fields(current);
        apply_payload_fields(fields, payload);
        auto etag = truthy(field_or(payload, "etag", nullptr)) ? payload_text(payload, "etag") : current.etag;

        auto target_url = trim(payload_text(payload, "calendar_url"));
        auto target_name = trim(payload_text(payload, "calendar"));
        auto account_hint = payload_text(payload, "account");
        auto current_calendar = _calendar_for_url(account, url);
        if ((!target_url.empty() || !target_name.empty()) &&
            !names_own_calendar(current_calendar, account, target_url, target_name, account_hint)) {
            auto target = _resolve_calendar(target_name, account_hint, target_url);
            if (target && is_requested_calendar(target->calendar, target_url, target_name) &&
                !holds(current_calendar, target->calendar)) {
                caldav::WriteResult moved = _move_event(account, url, etag, target->account, target->calendar.url,
                                                        engine_fields(fields, payload));
                _sync_after_write(account, { url });
                _sync_after_write(target->account, { target->calendar.url });
                _bump_refresh();
                return ok_answer({ { "summary", fields["summary"] },
                                   { "start", fields["start"] },
                                   { "end", fields["end"] },
                                   { "all_day", truthy(fields["all_day"]) },
                                   { "calendar", target->calendar.name },
                                   { "moved", true },
                                   { "url", text_or_null(moved.url) },
                                   { "etag", text_or_null(moved.etag) } });
            }
        }

        caldav::WriteResult updated = engine->update_event(url, etag, engine_fields(fields, payload));
        _sync_after_write(account, { url });
        _bump_refresh();
        return in_place_result(fields, url, text_or_null(updated.etag));
    });
}

Json WrenfoldApp::claude_delete_event(const Json& payload)
{
    // Named references rather than a structured binding: the lambdas below
    // capture them, which clang 14 does not allow for bindings.
    const AddressedEvent addressed = addressed_event(*this, payload);
    if (addressed.refusal)
        return *addressed.refusal;
    const std::string& url = addressed.url;
    const Account& account = addressed.account;
    return answer_or_failure([&] {
        auto recurrence_id = payload_text(payload, "recurrence_id");
        if (recurrence_id.empty())
            _engine_for(account)->delete_event(url, payload_text(payload, "etag"));
        else
            _engine_for(account)->delete_occurrence(url, recurrence_id, payload_text(payload, "etag"));
        _sync_after_write(account, { url });
        _bump_refresh();
        return ok_answer({ { "url", url } });
    });
}

}  // namespace wrenfold
