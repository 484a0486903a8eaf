// The event query: the events of a date range across the chosen calendars,
// fetched in parallel, tagged, with the holidays of the range last.
#include "app/wrenfold_app.h"

#include "caldav/engine.h"
#include "calendar/calendar_rules.h"
#include "core/bridge_answer.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace wrenfold {

namespace {

constexpr std::size_t kMaxFetchThreads = 8;

struct FetchOutcome {
    std::vector<caldav::EventRecord> events;
    std::optional<std::string> error;
};

// Runs `fetch` for every index below `count` on min(count, 8) threads, each
// taking the next index until none is left; returns when all are done.
void run_in_parallel(std::size_t count, const std::function<void(std::size_t)>& fetch)
{
    std::atomic<std::size_t> next { 0 };
    std::vector<std::jthread> workers;
    std::size_t thread_count = std::min(count, kMaxFetchThreads);
    workers.reserve(thread_count);
    for (std::size_t i = 0; i < thread_count; ++i) {
        workers.emplace_back([&] {
            for (std::size_t task = next++; task < count; task = next++)
                fetch(task);
        });
    }
}

}  // namespace

Json WrenfoldApp::get_events(const Json& start_text, const Json& end_text, const Json& include_hidden)
{
    std::chrono::year_month_day start = parse_query_date(start_text);
    std::chrono::year_month_day end = parse_query_date(end_text);

    std::vector<FetchTask> tasks = event_fetch_tasks(accounts_snapshot(), truthy(include_hidden));
    std::vector<FetchOutcome> outcomes(tasks.size());
    run_in_parallel(tasks.size(), [&](std::size_t index) {
        const FetchTask& task = tasks[index];
        const std::string& url = task.calendar.url;
        FetchOutcome& outcome = outcomes[index];
        try {
            outcome.events = _engine_for(task.account)->list_events(url, start, end);
            _set_sync_status(url, "ok");
        } catch (const std::exception& error) {
            outcome.error = error.what();
            _set_sync_status(url, "error");
        } catch (...) {
            outcome.error = "unknown error";
            _set_sync_status(url, "error");
        }
    });

    Json events = Json::array();
    Json errors = Json::array();
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        if (outcomes[i].error) {
            errors.push_back(Json::object({ { "calendar", tasks[i].calendar.name }, { "error", *outcomes[i].error } }));
            continue;
        }
        for (const caldav::EventRecord& event : outcomes[i].events)
            events.push_back(tagged_event(event, tasks[i].account, tasks[i].calendar));
    }
    for (Json& holiday : _tw_holidays(start, end))
        events.push_back(std::move(holiday));

    return ok_answer({ { "events", std::move(events) },
                       { "errors", std::move(errors) },
                       { "refresh_token", _refresh_token.load() } });
}

}  // namespace wrenfold
