// The local copy of the calendars: each calendar synced into the store, the
// page answered from it, and its state for the page.
#include "app/wrenfold_app.h"

#include "caldav/alarms.h"
#include "caldav/engine.h"
#include "caldav/ical_events.h"
#include "caldav/object_facts.h"
#include "calendar/calendar_rules.h"
#include "calendar/sync_queue.h"
#include "core/bridge_answer.h"
#include "core/log.h"
#include "core/unicode_text.h"
#include "reminders/reminder_service.h"
#include "store/event_store.h"

#include <algorithm>
#include <ctime>

namespace wrenfold {

namespace {

constexpr std::size_t kDefaultSearchLimit = 50;
// How long the page's fetch waits for a calendar's first sync; the sync
// itself goes on with the engine's own time limits.
constexpr auto kPageFetchDeadline = std::chrono::seconds(4);
// The least wait before a calendar whose first sync failed is asked again
// for the page, so that refetches do not hammer a failing server.
constexpr auto kFirstSyncPause = std::chrono::seconds(30);
// The longest Retry-After obeyed.
constexpr auto kMaxRetryAfter = std::chrono::hours(1);
constexpr std::size_t kBackgroundSyncThreads = 3;
constexpr std::size_t kMaxSearchLimit = 500;

store::Instant now_instant()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

Json utc_text(std::optional<store::Instant> instant)
{
    if (!instant)
        return nullptr;
    std::time_t time = static_cast<std::time_t>(*instant);
    std::tm utc {};
    gmtime_r(&time, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return std::string(text);
}

// What a stored record was made for: the home zone it was read in, and the
// form of the record, which rises whenever an event's keys or values change.
std::string record_made_for(const std::string& home_tzid)
{
    return "1 " + home_tzid;
}

// The finished record of an object that occurs once; nothing for any other,
// nor for one that cannot be read that far (listing it says why).
std::optional<store::StoredRecord> single_record(icalcomponent* calendar, const caldav::ResourceRef& ref,
                                                 icaltimezone* zone, const std::string& made_for)
{
    try {
        auto single = caldav::single_occurrence(calendar, ref, zone);
        if (!single)
            return std::nullopt;
        return store::StoredRecord { made_for, single->start.time_since_epoch().count(),
                                     single->end.time_since_epoch().count(), dump_compact(single->record.to_json()) };
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

bool record_overlaps(const store::StoredRecord& record, const caldav::TimeRange& range)
{
    using std::chrono::seconds, std::chrono::sys_seconds;
    return caldav::overlaps(sys_seconds(seconds(record.start)), sys_seconds(seconds(record.end)), range);
}

store::CalendarChange change_from(const caldav::SyncDelta& delta, const std::string& home_tzid)
{
    icaltimezone* zone = caldav::home_zone_for(home_tzid);
    store::CalendarChange change;
    change.deleted_hrefs = delta.deleted;
    change.sync_token = delta.sync_token;
    for (const caldav::SyncedObject& object : delta.changed) {
        // An object that does not parse fails the whole sync: the calendar
        // keeps its last good state rather than losing an event.
        caldav::IcalPtr parsed = caldav::parse_calendar(object.ics);
        caldav::ObjectFacts facts = caldav::object_facts(parsed.get(), zone);
        change.upserts.push_back(
            { object.url, object.etag, object.ics, facts.uid, facts.first.time_since_epoch().count(),
              facts.last ? std::optional(facts.last->time_since_epoch().count()) : std::nullopt, facts.search_text,
              single_record(parsed.get(), { object.url, object.etag }, zone, record_made_for(home_tzid)) });
    }
    return change;
}

// A sync that has outlasted the page's wait is shown as not responding.
std::string syncing_state(std::chrono::steady_clock::time_point since)
{
    return std::chrono::steady_clock::now() - since > kPageFetchDeadline ? "not_responding" : "syncing";
}

std::optional<FetchTask> task_for_calendar(const std::vector<Account>& accounts, const std::string& calendar_url)
{
    for (const Account& account : accounts)
        for (const Calendar& calendar : account.calendars)
            if (calendar.url == calendar_url)
                return FetchTask { account, calendar };
    return std::nullopt;
}

}  // namespace

void WrenfoldApp::_open_store()
{
    try {
        m_store = store::EventStore::open(APP_DIR / "events.sqlite3");
    } catch (const std::exception& error) {
        // Without a store every calendar is listed from its server, as before.
        log_line("event_store:", error.what());
    }
}

bool WrenfoldApp::_uses_store(caldav::CalendarEngine& engine) const
{
    return m_store && engine.can_sync();
}

bool WrenfoldApp::_sync_calendar(const Account& account, const Calendar& calendar)
{
    auto lock = m_calendar_sync_locks.with_locked([&](auto& locks) {
        auto& found = locks[calendar.url];
        if (!found)
            found = std::make_shared<std::mutex>();
        return found;
    });
    std::lock_guard one_at_a_time(*lock);
    m_syncing.with_locked([&](auto& syncing) { syncing.emplace(calendar.url, std::chrono::steady_clock::now()); });
    struct Done {
        WrenfoldApp& app;
        const std::string& url;
        ~Done()
        {
            app.m_syncing.with_locked([&](auto& syncing) { syncing.erase(url); });
        }
    } done { *this, calendar.url };
    try {
        auto engine = _engine_for(account);
        auto state = m_store->state(calendar.url);
        caldav::SyncKnown known { state ? state->sync_token : "", m_store->etags(calendar.url) };
        caldav::SyncDelta delta = engine->sync_calendar(calendar.url, known);
        store::CalendarChange change = change_from(delta, home_tzid_of(account));
        bool changed = !change.upserts.empty() || !change.deleted_hrefs.empty() || !state || !state->last_good_sync;
        m_store->apply(calendar.url, account.id, change, now_instant());
        _set_sync_status(calendar.url, "ok");
        return changed;
    } catch (const std::exception& error) {
        // A sync cut short by the end of the program says nothing of the server.
        if (_stop)
            throw;
        try {
            m_store->record_failure(calendar.url, account.id, error.what(), now_instant());
        } catch (const std::exception& store_error) {
            log_line("event_store:", store_error.what());
        }
        _set_sync_status(calendar.url, "error");
        throw;
    }
}

void WrenfoldApp::_stored_events(CalendarListing& listing, std::chrono::year_month_day start,
                                 std::chrono::year_month_day end, std::uint64_t page_fetch, ListingFor purpose)
{
    const auto& [account, calendar] = listing.source;
    auto state = m_store->state(calendar.url);
    if (!state || !state->last_good_sync) {
        // Never synced: fetched now, which fills the store.
        _await_first_sync(calendar.url, page_fetch);
        state = m_store->state(calendar.url);
        if (!state || !state->last_good_sync)
            throw caldav::CalDavError(state && !state->last_error.empty() ? state->last_error : "not synced yet");
    }
    listing.stale_error = state ? state->last_error : "";
    const std::string home_tzid = home_tzid_of(account);
    icaltimezone* zone = caldav::home_zone_for(home_tzid);
    caldav::TimeRange range { caldav::home_midnight(start, zone), caldav::home_midnight(end, zone) };
    if (range.end <= range.start)
        return;
    // Records serve only the page's text answer: other listings need the
    // alarms' due times, which a record does not keep.
    const bool as_text = purpose == ListingFor::page_text;
    const std::string made_for = as_text ? record_made_for(home_tzid) : "";
    std::vector<store::RecordFill> fills;
    for (store::StoredObject& object : m_store->objects_between(calendar.url, range.start.time_since_epoch().count(),
                                                                range.end.time_since_epoch().count(), made_for)) {
        if (as_text && object.record && object.record->made_for == made_for) {
            if (record_overlaps(*object.record, range))
                listing.event_texts.push_back(std::move(object.record->json));
            continue;
        }
        if (purpose == ListingFor::alarms && !caldav::may_have_alarms(object.ics))
            continue;
        try {
            caldav::IcalPtr parsed = caldav::parse_calendar(object.ics);
            caldav::ResourceRef ref { object.href, object.etag };
            if (as_text) {
                if (auto record = single_record(parsed.get(), ref, zone, made_for)) {
                    // Kept for the next answer: the record of a store written
                    // before records were kept, or for another home zone.
                    if (record_overlaps(*record, range))
                        listing.event_texts.push_back(record->json);
                    fills.push_back({ object.href, object.etag, std::move(*record) });
                    continue;
                }
            }
            std::size_t first_new = listing.events.size();
            caldav::expand_resource(parsed.get(), ref, range, zone, listing.events);
            if (as_text)
                move_events_to_texts(listing, first_new);
        } catch (const std::exception& error) {
            log_line("event_store:", object.href + ": " + error.what());
        }
    }
    try {
        m_store->fill_records(calendar.url, fills);
    } catch (const std::exception& error) {
        log_line("event_store:", error.what());
    }
}

void WrenfoldApp::_await_first_sync(const std::string& calendar_url, std::uint64_t page_fetch)
{
    std::unique_lock lock(m_first_sync_mutex);
    auto held = m_sync_not_before.find(calendar_url);
    if (held != m_sync_not_before.end() && std::chrono::steady_clock::now() < held->second)
        return;  // the last attempt's failure answers
    std::uint64_t before = m_sync_attempts[calendar_url];
    lock.unlock();
    _sync_later({ calendar_url });
    lock.lock();
    auto superseded = [&] { return page_fetch != 0 && m_page_fetches.load() != page_fetch; };
    bool finished = m_first_sync_done.wait_for(
        lock, kPageFetchDeadline, [&] { return m_sync_attempts[calendar_url] != before || _stop || superseded(); });
    if (superseded() && m_sync_attempts[calendar_url] == before)
        throw FetchSuperseded();
    if (!finished)
        throw caldav::NetworkError(_t("err.calendar.not_responding"));
}

void WrenfoldApp::_note_sync_attempt(const std::string& calendar_url, const std::exception_ptr& failure)
{
    std::chrono::seconds wait { 0 };
    try {
        if (failure)
            std::rethrow_exception(failure);
    } catch (const caldav::ServerBusy& busy) {
        wait = std::max<std::chrono::seconds>(
            kFirstSyncPause,
            std::min<std::chrono::seconds>(busy.retry_after.value_or(kFirstSyncPause), kMaxRetryAfter));
    } catch (...) {
        wait = kFirstSyncPause;
    }
    {
        std::lock_guard lock(m_first_sync_mutex);
        ++m_sync_attempts[calendar_url];
        if (failure)
            m_sync_not_before[calendar_url] = std::chrono::steady_clock::now() + wait;
        else
            m_sync_not_before.erase(calendar_url);
    }
    m_first_sync_done.notify_all();
}

void WrenfoldApp::_sync_later(const std::vector<std::string>& calendar_urls)
{
    if (!m_store || calendar_urls.empty())
        return;
    m_sync_queue.with_locked([&](std::unique_ptr<SyncQueue>& queue) {
        if (!queue && !_stop)
            queue = std::make_unique<SyncQueue>([this](const std::string& url) { _sync_in_background(url); },
                                                kBackgroundSyncThreads);
        if (queue)
            queue->add(calendar_urls);
    });
}

void WrenfoldApp::_sync_all_later()
{
    std::vector<std::string> urls;
    for (const FetchTask& task : event_fetch_tasks(accounts_snapshot(), true))
        urls.push_back(task.calendar.url);
    _sync_later(urls);
}

void WrenfoldApp::_sync_all_after_first_answer()
{
    m_start_syncs_deadline = (std::chrono::steady_clock::now() + _START_WORK_WAIT).time_since_epoch().count();
    m_start_syncs_waiting = true;
}

void WrenfoldApp::_release_start_syncs(bool due)
{
    if (!m_start_syncs_waiting)
        return;
    due = due || std::chrono::steady_clock::now().time_since_epoch().count() >= m_start_syncs_deadline.load();
    if (due && m_start_syncs_waiting.exchange(false)) {
        _sync_all_later();
        if (auto reminders = m_reminders.snapshot())
            reminders->release_first_list();
    }
}

void WrenfoldApp::_stop_background_sync()
{
    auto queue = m_sync_queue.with_locked([](std::unique_ptr<SyncQueue>& running) { return std::move(running); });
    if (queue)
        queue->stop();
}

void WrenfoldApp::_sync_in_background(const std::string& calendar_url)
{
    auto task = task_for_calendar(accounts_snapshot(), calendar_url);
    if (!task || _stop)
        return _note_sync_attempt(calendar_url, nullptr);
    bool changed = false;
    std::exception_ptr failure;
    std::optional<store::CalendarState> before;
    try {
        if (_uses_store(*_engine_for(task->account))) {
            before = m_store->state(calendar_url);
            changed = _sync_calendar(task->account, task->calendar);
        }
    } catch (const std::exception&) {
        failure = std::current_exception();
        // The page shows the calendar's new state; failing again (every
        // start while offline, whatever the wording) changes nothing it shows.
        changed = !before || before->last_error.empty();
    }
    // Raised after the change is committed, so the page's refetch reads it,
    // and before a fetch waiting for it answers, so its answer carries it.
    if (changed)
        _bump_refresh();
    _note_sync_attempt(calendar_url, failure);
}

void WrenfoldApp::_sync_after_write(const Account& account, const std::vector<std::string>& urls)
{
    if (!m_store)
        return;
    for (const std::string& url : urls) {
        auto calendar = find_calendar_for_url(account, url);
        if (!calendar)
            continue;
        try {
            if (_uses_store(*_engine_for(account)))
                _sync_calendar(account, *calendar);
        } catch (const std::exception&) {
            _sync_later({ calendar->url });
        }
    }
}

void WrenfoldApp::_forget_stored_account(const std::string& account_id)
{
    if (!m_store)
        return;
    try {
        m_store->remove_account(account_id);
    } catch (const std::exception& error) {
        log_line("event_store:", error.what());
    }
}

Json WrenfoldApp::_calendar_states() const
{
    Json states = Json::object();
    if (!m_store)
        return states;
    auto syncing = m_syncing.snapshot();
    try {
        for (const store::CalendarState& state : m_store->states()) {
            auto since = syncing.find(state.calendar_url);
            std::string status = since != syncing.end() ? syncing_state(since->second)
                : !state.last_error.empty()             ? "unreachable"
                : state.last_good_sync                  ? "up_to_date"
                                                        : "not_synced";
            states[state.calendar_url] = Json::object({ { "state", status },
                                                        { "last_sync", utc_text(state.last_good_sync) },
                                                        { "unreachable_since", utc_text(state.failing_since) },
                                                        { "error", state.last_error } });
        }
    } catch (const std::exception& error) {
        log_line("event_store:", error.what());
    }
    for (const auto& [url, since] : syncing)
        if (!states.contains(url))
            states[url] = Json::object({ { "state", syncing_state(since) },
                                         { "last_sync", nullptr },
                                         { "unreachable_since", nullptr },
                                         { "error", "" } });
    return states;
}

Json WrenfoldApp::sync_now()
{
    return answer_or_failure([&] {
        for (const FetchTask& task : event_fetch_tasks(accounts_snapshot(), true)) {
            try {
                if (m_store && _uses_store(*_engine_for(task.account)))
                    _sync_calendar(task.account, task.calendar);
            } catch (const std::exception&) {
                // Recorded with the calendar; its state below tells the page.
            }
        }
        _bump_refresh();
        return ok_answer({ { "calendar_states", _calendar_states() } });
    });
}

Json WrenfoldApp::search_events(const Json& text, const Json& limit)
{
    return answer_or_failure([&] {
        std::string needle = fold_for_search(trim_unicode(text.is_string() ? text.get<std::string>() : ""));
        std::size_t wanted = limit.is_number_unsigned() || (limit.is_number_integer() && limit.get<long long>() > 0)
            ? std::min<std::size_t>(limit.get<std::size_t>(), kMaxSearchLimit)
            : kDefaultSearchLimit;
        Json events = Json::array();
        if (needle.empty() || !m_store)
            return ok_answer({ { "events", std::move(events) } });
        std::vector<Account> listed = accounts_snapshot();
        std::vector<std::string> urls;
        for (const FetchTask& task : event_fetch_tasks(listed, true))
            urls.push_back(task.calendar.url);
        for (const auto& [calendar_url, object] : m_store->search(urls, needle, wanted)) {
            auto task = task_for_calendar(listed, calendar_url);
            if (!task)
                continue;
            try {
                caldav::IcalPtr parsed = caldav::parse_calendar(object.ics);
                icaltimezone* zone = caldav::home_zone_for(home_tzid_of(task->account));
                caldav::EventRecord record = caldav::master_record(parsed.get(), { object.href, object.etag }, zone);
                events.push_back(tagged_event(record, task->account, task->calendar));
            } catch (const std::exception& error) {
                log_line("event_store:", object.href + ": " + error.what());
            }
        }
        return ok_answer({ { "events", std::move(events) } });
    });
}

}  // namespace wrenfold
