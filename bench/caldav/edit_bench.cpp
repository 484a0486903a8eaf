// Editing a long-lived daily series with many exceptions and overrides: a
// title change on one occurrence and a move of the whole series, each parsed,
// applied and written out as an update does.
#include "caldav/ical_edit.h"
#include "caldav/ical_events.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using namespace wrenfold::caldav;

std::string long_series()
{
    std::string ics = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:s\r\nDTSTAMP:20200101T000000Z\r\n"
                      "DTSTART;TZID=Europe/Berlin:20150105T090000\r\nDTEND;TZID=Europe/Berlin:20150105T100000\r\n"
                      "RRULE:FREQ=DAILY;UNTIL=20300101T000000Z\r\nSUMMARY:Daily\r\n";
    for (int i = 0; i < 300; ++i)
        ics += "EXDATE;TZID=Europe/Berlin:2" + std::to_string(16 + i / 28) + "02" + (i % 28 + 1 < 10 ? "0" : "") +
            std::to_string(i % 28 + 1) + "T090000\r\n";
    ics += "END:VEVENT\r\n";
    for (int i = 0; i < 300; ++i) {
        std::string day =
            std::to_string(16 + i / 28) + "03" + (i % 28 + 1 < 10 ? "0" : "") + std::to_string(i % 28 + 1);
        ics += "BEGIN:VEVENT\r\nUID:s\r\nDTSTAMP:20200101T000000Z\r\nRECURRENCE-ID;TZID=Europe/Berlin:20" + day +
            "T090000\r\nDTSTART;TZID=Europe/Berlin:20" + day + "T110000\r\nDTEND;TZID=Europe/Berlin:20" + day +
            "T120000\r\nSUMMARY:Moved\r\nEND:VEVENT\r\n";
    }
    return ics + "END:VCALENDAR\r\n";
}

void run(benchmark::State& state, bool whole_series)
{
    const std::string ics = long_series();
    icaltimezone* home = home_zone_for("Asia/Taipei");
    EditContext context { home, "Asia/Taipei", std::chrono::sys_seconds(std::chrono::seconds(1767225600)) };
    EventFields fields;
    fields.recurrence_id = "2025-06-10T15:00:00";
    fields.whole_series = whole_series;
    fields.summary = "Renamed";
    if (whole_series)
        fields.start = "2025-06-10T16:00:00";
    for (auto _ : state) {
        EditedObject object = open_for_edit(ics);
        apply_fields(object.calendar.get(), fields, context);
        benchmark::DoNotOptimize(write_back(object));
    }
}

void BM_RenameOneOccurrence(benchmark::State& state)
{
    run(state, false);
}
void BM_MoveWholeSeries(benchmark::State& state)
{
    run(state, true);
}

}  // namespace

BENCHMARK(BM_RenameOneOccurrence)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MoveWholeSeries)->Unit(benchmark::kMillisecond);
