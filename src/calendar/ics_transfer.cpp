// .ics files: a file's events previewed and imported into a calendar (each
// object written whole, as the file has it), and a calendar or a range of it
// exported as one file.
#include "app/wrenfold_app.h"

#include "caldav/engine.h"
#include "caldav/ical_events.h"
#include "caldav/ics_files.h"
#include "calendar/calendar_rules.h"
#include "core/bridge_answer.h"
#include "core/random.h"
#include "store/event_store.h"

#include <algorithm>
#include <limits>

namespace wrenfold {

namespace {

constexpr std::size_t kPreviewEvents = 5;

// The calendar of the account that `calendar_url` names, never a read-only one.
std::optional<Calendar> writable_calendar(const Account& account, const std::string& calendar_url)
{
    for (const Calendar& calendar : account.calendars)
        if (calendar.url == calendar_url && !calendar.read_only)
            return calendar;
    return std::nullopt;
}

// Runs `body` with the account and the writable calendar a file goes into.
template <typename Body>
Json into_calendar(WrenfoldApp& app, const std::string& account_id, const std::string& calendar_url, const Body& body)
{
    return answer_or_failure([&] {
        auto account = app._account_by_id(account_id);
        if (!account)
            return failed_answer("account not found");
        auto calendar = writable_calendar(*account, calendar_url);
        if (!calendar)
            return failed_answer("refused: " + calendar_url + " is not a writable calendar of this account");
        return body(*account, *calendar);
    });
}

Json preview_of(const caldav::IcsObject& object, icaltimezone* zone)
{
    caldav::IcalPtr parsed = caldav::parse_calendar(object.text);
    caldav::EventRecord event = caldav::master_record(parsed.get(), { "", "" }, zone);
    return Json::object({ { "uid", object.uid },
                          { "summary", event.summary },
                          { "start", event.start },
                          { "all_day", event.all_day },
                          { "rrule", event.rrule } });
}

}  // namespace

std::map<std::string, store::StoredObject> WrenfoldApp::_stored_by_uid(const Account& account, const Calendar& calendar)
{
    if (!m_store || !_uses_store(*_engine_for(account)))
        throw std::runtime_error("this calendar has no local copy to compare with");
    auto state = m_store->state(calendar.url);
    if (!state || !state->last_good_sync)
        _sync_calendar(account, calendar);
    std::map<std::string, store::StoredObject> by_uid;
    for (store::StoredObject& object : m_store->objects_between(
             calendar.url, std::numeric_limits<store::Instant>::min(), std::numeric_limits<store::Instant>::max()))
        by_uid.emplace(object.uid, std::move(object));
    return by_uid;
}

Json WrenfoldApp::preview_ics(const std::string& account_id, const std::string& calendar_url, const std::string& text)
{
    return into_calendar(*this, account_id, calendar_url, [&](const Account& account, const Calendar& calendar) {
        std::vector<caldav::IcsObject> objects = caldav::split_ics(text, new_uuid);
        icaltimezone* zone = caldav::home_zone_for(home_tzid_of(account));
        Json first = Json::array();
        for (std::size_t i = 0; i < objects.size() && i < kPreviewEvents; ++i)
            first.push_back(preview_of(objects[i], zone));
        auto stored = _stored_by_uid(account, calendar);
        Json existing = Json::array();
        for (const caldav::IcsObject& object : objects)
            if (stored.count(object.uid))
                existing.push_back(object.uid);
        return ok_answer(Json::object({ { "count", objects.size() }, { "events", first }, { "existing", existing } }));
    });
}

Json WrenfoldApp::import_ics(const std::string& account_id, const std::string& calendar_url, const std::string& text,
                             bool update_existing)
{
    return into_calendar(*this, account_id, calendar_url, [&](const Account& account, const Calendar& calendar) {
        std::vector<caldav::IcsObject> objects = caldav::split_ics(text, new_uuid);
        auto stored = _stored_by_uid(account, calendar);
        auto engine = _engine_for(account);
        std::size_t created = 0, updated = 0, skipped = 0;
        std::string failure;
        for (const caldav::IcsObject& object : objects) {
            try {
                auto found = stored.find(object.uid);
                if (found == stored.end()) {
                    engine->import_event(calendar_url, object.text, Json::object());
                    ++created;
                } else if (update_existing) {
                    engine->restore_event(found->second.href, object.text, found->second.etag);
                    ++updated;
                } else {
                    ++skipped;
                }
            } catch (const std::exception& error) {
                if (failure.empty())
                    failure = object.uid + ": " + error.what();
            }
        }
        if (created + updated > 0) {
            _sync_after_write(account, { calendar_url });
            _bump_refresh();
        }
        Json counts = Json::object({ { "created", created }, { "updated", updated }, { "skipped", skipped } });
        return failure.empty() ? ok_answer(counts) : failed_answer(failure, counts);
    });
}

Json WrenfoldApp::export_ics(const std::string& account_id, const std::string& calendar_url,
                             const std::optional<std::string>& start, const std::optional<std::string>& end)
{
    return answer_or_failure([&] {
        auto account = _account_by_id(account_id);
        if (!account)
            return failed_answer("account not found");
        auto calendar = std::find_if(account->calendars.begin(), account->calendars.end(),
                                     [&](const Calendar& c) { return c.url == calendar_url; });
        if (calendar == account->calendars.end())
            return failed_answer("refused: " + calendar_url + " is not a calendar of this account");
        store::Instant from = std::numeric_limits<store::Instant>::min();
        store::Instant to = std::numeric_limits<store::Instant>::max();
        if (start && !start->empty() && end && !end->empty()) {
            icaltimezone* zone = caldav::home_zone_for(home_tzid_of(*account));
            from = caldav::home_midnight(parse_query_date(*start), zone).time_since_epoch().count();
            to = caldav::home_midnight(parse_query_date(*end), zone).time_since_epoch().count();
        }
        auto stored = _stored_by_uid(*account, *calendar);
        std::vector<std::string> objects;
        for (const auto& [uid, object] : stored)
            if (object.first_instant < to && (!object.last_instant || *object.last_instant > from))
                objects.push_back(object.ics);
        return ok_answer(Json::object({ { "ics", caldav::join_ics(objects) }, { "count", objects.size() } }));
    });
}

}  // namespace wrenfold
