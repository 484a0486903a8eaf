// The page answered from the local copy: a month of 16 calendars x 200 events
// through get_events, and a search over 20,000 events. The calendars are
// synced once into the store first; the measured calls ask no server.
#include "app/bridge_table.h"
#include "caldav/engine.h"
#include "support/app_fixture.h"
#include "support/sync_only_engine.h"

#include <benchmark/benchmark.h>

namespace {

using namespace wrenfold;

// How a calendar's events are spread: over one year (three a week in every
// month), or all in March, as the start benchmark fills its calendars.
enum class Spread { year, one_month };

// A server whose calendars each hold `per_calendar` events.
class GeneratedServer final : public testing::SyncOnlyEngine {
public:
    GeneratedServer(int per_calendar, Spread spread)
        : m_per_calendar(per_calendar),
          m_spread(spread)
    {
    }
    caldav::SyncDelta sync_calendar(const std::string& calendar_url, const caldav::SyncKnown& known) override
    {
        caldav::SyncDelta delta { {}, {}, "token-1", false };
        if (known.sync_token == "token-1")
            return delta;
        for (int i = 0; i < m_per_calendar; ++i) {
            int day_of_year = (i * 365) / m_per_calendar;
            int month = 1 + day_of_year / 31 % 12, day = 1 + day_of_year % 28;
            if (m_spread == Spread::one_month)
                month = 3, day = 1 + i % 31;
            char start[32];
            std::snprintf(start, sizeof start, "2025%02d%02dT%02d0000Z", month, day, 1 + i % 9);
            std::string uid = "ev" + std::to_string(i);
            std::string ics = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//bench//EN\r\nBEGIN:VEVENT\r\nUID:" + uid +
                "\r\nDTSTAMP:20250101T000000Z\r\nDTSTART:" + start + "\r\nDURATION:PT1H\r\nSUMMARY:Meeting " +
                std::to_string(i) + " Café\r\nDESCRIPTION:notes about project " + std::to_string(i % 97) +
                "\r\nLOCATION:Room " + std::to_string(i % 13) + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
            delta.changed.push_back({ calendar_url + uid + ".ics", "\"1\"", ics });
        }
        return delta;
    }

private:
    int m_per_calendar;
    Spread m_spread;
};

struct SyncedApp {
    testing::AppFolders folders;
    std::unique_ptr<WrenfoldApp> app;

    SyncedApp(int calendars, int per_calendar, Spread spread = Spread::year)
    {
        Json list = Json::array();
        for (int i = 0; i < calendars; ++i)
            list.push_back({ { "url", "https://caldav.example/cal" + std::to_string(i) + "/" },
                             { "name", "Calendar " + std::to_string(i) } });
        folders.store_accounts(Json::object({ { "accounts",
                                                Json::array({ { { "id", "acc" },
                                                                { "apple_id", "a@example.com" },
                                                                { "app_password", "pw" },
                                                                { "calendars", list } } }) } })
                                   .dump());
        server = std::make_shared<GeneratedServer>(per_calendar, spread);
        app = start();
        app->get_events("2025-01-01", "2025-01-02", true);  // the first sync of every calendar
    }

    // The program started again on the same data folder.
    std::unique_ptr<WrenfoldApp> start()
    {
        AppEnvironment environment = folders.environment();
        environment.make_engine = [engine = server](const std::string&, const std::string&,
                                                    const std::optional<std::string>&) { return engine; };
        return std::make_unique<WrenfoldApp>(platform::QueueMap {}, platform::EventMap {}, std::move(environment));
    }

    std::shared_ptr<GeneratedServer> server;
};

void month_from_store(benchmark::State& state)
{
    SyncedApp synced(16, 200);
    std::size_t events = 0;
    for (auto _ : state) {
        Json answer = synced.app->get_events("2025-03-01", "2025-04-01", true);
        events = answer["events"].size();
        benchmark::DoNotOptimize(answer);
    }
    state.counters["events"] = static_cast<double>(events);
}
BENCHMARK(month_from_store)->Unit(benchmark::kMillisecond);

// The start benchmark's month: every event of `calendars` x `per_calendar`
// in the one month, answered through the bridge as the host sends it, asked
// again and again (first_after_start 0) or each time first asked of a
// program just started (1).
void full_month_from_store(benchmark::State& state)
{
    const bool fresh_start = state.range(0) == 1;
    SyncedApp synced(static_cast<int>(state.range(1)), static_cast<int>(state.range(2)), Spread::one_month);
    std::size_t bytes = 0;
    for (auto _ : state) {
        if (fresh_start) {
            state.PauseTiming();
            synced.app.reset();
            synced.app = synced.start();
            state.ResumeTiming();
        }
        AppBridge bridge(*synced.app);
        BridgeReply reply = bridge.call("get_events", Json::array({ "2025-02-24", "2025-04-07", true }));
        std::string text = take_result_text(reply);
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(full_month_from_store)
    ->ArgNames({ "first_after_start", "calendars", "per_calendar" })
    ->Args({ 0, 16, 200 })
    ->Args({ 1, 16, 200 })
    ->Args({ 0, 60, 300 })
    ->Args({ 1, 60, 300 })
    ->Unit(benchmark::kMillisecond);

void search_twenty_thousand(benchmark::State& state)
{
    SyncedApp synced(16, 1250);
    std::size_t found = 0;
    for (auto _ : state) {
        Json answer = synced.app->search_events("PROJECT 42", 50);
        found = answer["events"].size();
        benchmark::DoNotOptimize(answer);
    }
    state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(search_twenty_thousand)->Unit(benchmark::kMillisecond);

}  // namespace
