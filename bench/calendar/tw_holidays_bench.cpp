// Holidays are computed afresh for every event query; these measure a whole century and the
// typical query of a month view that crosses the turn of a year.
#include "calendar/tw_holidays.h"

#include <benchmark/benchmark.h>

#include <numeric>
#include <vector>

namespace {

void all_years(benchmark::State& state)
{
    std::vector<int> years(2099 - 1998 + 1);
    std::iota(years.begin(), years.end(), 1998);
    for (auto _ : state)
        benchmark::DoNotOptimize(wrenfold::taiwan_holidays(years));
}
BENCHMARK(all_years)->Unit(benchmark::kMillisecond);

void two_years(benchmark::State& state)
{
    std::vector<int> const years { 2025, 2026 };
    for (auto _ : state)
        benchmark::DoNotOptimize(wrenfold::taiwan_holidays(years));
}
BENCHMARK(two_years)->Unit(benchmark::kMicrosecond);

}  // namespace
