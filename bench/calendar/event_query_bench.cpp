// An event query over 12 calendars whose server takes 200 ms per calendar:
// fetched 8 at a time, the query takes about 2 x 200 ms, not 12 x 200 ms.
#include "support/fake_app.h"

#include <benchmark/benchmark.h>

using wrenfold::testing::calendars;
using wrenfold::testing::FakeApp;

static void BM_EventQueryOverTwelveSlowCalendars(benchmark::State& state)
{
    FakeApp fake;
    fake.add("ann@example.com", calendars("https://p", 6));
    fake.add("bob@example.com", calendars("https://q", 6));
    for (const char* apple_id : { "ann@example.com", "bob@example.com" })
        fake.engines.engine(apple_id)->set_fetch_delay(std::chrono::milliseconds(200));

    for (auto _ : state) {
        wrenfold::Json result = fake.app->get_events("2025-01-01", "2025-02-01");
        if (!result["errors"].empty())
            state.SkipWithError("a calendar failed");
        benchmark::DoNotOptimize(result);
    }
    state.counters["calendars"] = 12;
    state.counters["serial_ms"] = 12 * 200;
}
BENCHMARK(BM_EventQueryOverTwelveSlowCalendars)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
