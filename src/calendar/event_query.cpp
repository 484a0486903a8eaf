// The event query: the events of a date range across the chosen calendars,
// fetched in parallel, tagged, with the holidays of the range last.
#include "app/wrenfold_app.h"

#include "caldav/engine.h"
#include "calendar/calendar_rules.h"
#include "core/bridge_answer.h"
#include "core/work_pool.h"
#include "platform/free_memory.h"

#include <algorithm>
#include <vector>

namespace wrenfold {

namespace {

constexpr std::size_t kTrimAfterEvents = 2000;
// The most occurrences one query hands back, all calendars together.
constexpr std::size_t kMaxOccurrencesPerQuery = 20000;

}  // namespace

std::vector<CalendarListing> WrenfoldApp::_list_calendars(std::chrono::year_month_day start,
                                                          std::chrono::year_month_day end, bool include_hidden)
{
    std::vector<CalendarListing> listings;
    for (FetchTask& task : event_fetch_tasks(accounts_snapshot(), include_hidden))
        listings.push_back(CalendarListing { std::move(task), {}, std::nullopt, false, {} });
    m_query_pool->run_all(listings.size(), [&](std::size_t index) {
        CalendarListing& listing = listings[index];
        const std::string& url = listing.source.calendar.url;
        try {
            auto engine = _engine_for(listing.source.account);
            if (_uses_store(*engine)) {
                // Answered from the local copy; its syncs set the status.
                listing.events =
                    _stored_events(listing.source.account, listing.source.calendar, start, end, listing.stale_error);
                listing.stale = !listing.stale_error.empty();
                return;
            }
            listing.events = engine->list_events(url, start, end);
            _set_sync_status(url, "ok");
        } catch (const caldav::TooManyOccurrences&) {
            listing.error = _t("err.events.too_many");
            _set_sync_status(url, "error");
        } catch (const std::exception& error) {
            listing.error = error.what();
            _set_sync_status(url, "error");
        } catch (...) {
            listing.error = "unknown error";
            _set_sync_status(url, "error");
        }
    });
    cap_occurrences(listings, kMaxOccurrencesPerQuery, _t("err.events.too_many"));
    return listings;
}

Json WrenfoldApp::get_events(const Json& start_text, const Json& end_text, const Json& include_hidden)
{
    std::chrono::year_month_day start = parse_query_date(start_text);
    std::chrono::year_month_day end = parse_query_date(end_text);

    Json events = Json::array();
    Json errors = Json::array();
    // Calendars whose last sync failed: their last-known events are kept.
    Json stale = Json::array();
    for (const CalendarListing& listing : _list_calendars(start, end, truthy(include_hidden))) {
        const auto& [account, calendar] = listing.source;
        if (listing.error) {
            errors.push_back(Json::object({ { "calendar", calendar.name }, { "error", *listing.error } }));
            continue;
        }
        if (listing.stale) {
            // Its last-known events stay; the error still shows on the calendar.
            stale.push_back(calendar.url);
            errors.push_back(
                Json::object({ { "calendar", calendar.name }, { "error", listing.stale_error }, { "stale", true } }));
        }
        for (const caldav::EventRecord& event : listing.events) {
            Json tagged = tagged_event(event, account, calendar);
            if (listing.stale)
                tagged["stale"] = true;
            events.push_back(std::move(tagged));
        }
    }
    for (Json& holiday : _tw_holidays(start, end))
        events.push_back(std::move(holiday));
    // The listings of a large range are gone by now; what they took from the
    // allocator goes back to the system instead of staying with the process.
    if (events.size() > kTrimAfterEvents)
        platform::return_free_memory();

    return ok_answer({ { "events", std::move(events) },
                       { "errors", std::move(errors) },
                       { "refresh_token", _refresh_token.load() },
                       { "stale_calendars", std::move(stale) } });
}

}  // namespace wrenfold
