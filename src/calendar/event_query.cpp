// The event query: the events of a date range across the chosen calendars,
// fetched in parallel, tagged, with the holidays of the range last.
#include "app/wrenfold_app.h"

#include "caldav/engine.h"
#include "calendar/calendar_rules.h"
#include "core/bridge_answer.h"
#include "core/work_pool.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace wrenfold {

namespace {

// The most occurrences one query hands back, all calendars together.
constexpr std::size_t kMaxOccurrencesPerQuery = 20000;

}  // namespace

std::vector<CalendarListing> WrenfoldApp::_list_calendars(std::chrono::year_month_day start,
                                                          std::chrono::year_month_day end, bool include_hidden,
                                                          std::uint64_t page_fetch, ListingFor purpose)
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
                _stored_events(listing, start, end, page_fetch, purpose);
                listing.stale = !listing.stale_error.empty();
                return;
            }
            listing.events = engine->list_events(url, start, end);
            _set_sync_status(url, "ok");
            if (purpose == ListingFor::page_text)
                move_events_to_texts(listing);
        } catch (const FetchSuperseded&) {
            // Says nothing of the calendar: its sync goes on.
            listing.superseded = true;
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
    return parse_json(_events_answer(start_text, end_text, include_hidden));
}

std::string WrenfoldApp::_events_answer(const Json& start_text, const Json& end_text, const Json& include_hidden)
{
    std::chrono::year_month_day start = parse_query_date(start_text);
    std::chrono::year_month_day end = parse_query_date(end_text);
    // The page's older fetches that still wait for a first sync stop waiting:
    // the page has moved on and drops their answers.
    const std::uint64_t page_fetch = ++m_page_fetches;
    {
        std::lock_guard seen(m_first_sync_mutex);
    }
    m_first_sync_done.notify_all();

    std::vector<CalendarListing> listings =
        _list_calendars(start, end, truthy(include_hidden), page_fetch, ListingFor::page_text);
    Json errors = Json::array();
    // Calendars whose last sync failed: their last-known events are kept.
    Json stale = Json::array();
    bool superseded = false;
    std::size_t event_count = 0, text_size = 0;
    for (const CalendarListing& listing : listings) {
        event_count += listing.event_texts.size();
        for (const std::string& text : listing.event_texts)
            text_size += text.size();
    }
    // {"ok":true,"events":[...],"errors":...}: the events written in place.
    std::string answer = dump_compact(ok_answer());
    answer.pop_back();
    answer += R"(,"events":[)";
    answer.reserve(answer.size() + text_size + event_count * 200 + 4096);
    bool first_event = true;
    auto next_event = [&] {
        if (!std::exchange(first_event, false))
            answer.push_back(',');
    };
    for (const CalendarListing& listing : listings) {
        const auto& [account, calendar] = listing.source;
        superseded = superseded || listing.superseded;
        if (listing.superseded)
            continue;
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
        const std::string tags = calendar_tags_text(account, calendar, listing.stale);
        for (const std::string& text : listing.event_texts) {
            next_event();
            append_tagged_event(answer, text, tags);
        }
    }
    for (const Json& holiday : _tw_holidays(start, end)) {
        next_event();
        answer += dump_compact(holiday);
    }

    Json rest = Json::object();
    rest["errors"] = std::move(errors);
    rest["refresh_token"] = _refresh_token.load();
    rest["stale_calendars"] = std::move(stale);
    rest["superseded"] = superseded;
    answer += "],";
    const std::string rest_text = dump_compact(rest);
    answer.append(rest_text, 1);
    _release_start_syncs(true);
    return answer;
}

}  // namespace wrenfold
