// Parsing and expanding one calendar-query answer of 5,000 events, a tenth
// of them weekly series, for a month's view.
#include "caldav/ical_events.h"
#include "caldav/webdav.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

using namespace wrenfold::caldav;
using wrenfold::Json;

std::string report_body(int count)
{
    std::string body =
        "<?xml version=\"1.0\"?><d:multistatus xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\">";
    for (int i = 0; i < count; ++i) {
        char ics[1024];
        int day = 1 + i % 28;
        std::snprintf(ics, sizeof ics,
                      "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//bench//EN\r\nBEGIN:VEVENT\r\nUID:ev-%d\r\n"
                      "DTSTAMP:20250101T000000Z\r\nDTSTART;TZID=Asia/Taipei:202503%02dT%02d0000\r\n"
                      "DTEND;TZID=Asia/Taipei:202503%02dT%02d3000\r\nSUMMARY:Event number %d\r\n"
                      "LOCATION:Room %d\r\nDESCRIPTION:Some notes about the event\\, long enough.\r\n%s"
                      "END:VEVENT\r\nEND:VCALENDAR\r\n",
                      i, i % 10 == 0 ? 3 : day, 8 + i % 10, i % 10 == 0 ? 3 : day, 8 + i % 10, i, i % 50,
                      i % 10 == 0 ? "RRULE:FREQ=WEEKLY;BYDAY=MO\r\n" : "");
        body += "<d:response><d:href>/cal/ev-" + std::to_string(i) + ".ics</d:href><d:propstat><d:prop><d:getetag>\"" +
            std::to_string(i) + "\"</d:getetag><c:calendar-data>" + ics +
            "</c:calendar-data></d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>";
    }
    return body + "</d:multistatus>";
}

void BM_ParseAndExpandReport(benchmark::State& state)
{
    const std::string body = report_body(5000);
    icaltimezone* home = home_zone_for("Asia/Taipei");
    TimeRange range { home_midnight(std::chrono::year { 2025 } / 3 / 1, home),
                      home_midnight(std::chrono::year { 2025 } / 4 / 1, home) };
    size_t events = 0;
    for (auto _ : state) {
        std::vector<EventRecord> out;
        for (const auto& response : parse_multistatus(body)) {
            const auto* data = response.prop(kCalDavNs, "calendar-data");
            const auto* etag = response.prop(kDavNs, "getetag");
            IcalPtr calendar = parse_calendar(data->text);
            expand_resource(calendar.get(), { response.href, etag->text }, range, home, out);
        }
        events = out.size();
        benchmark::DoNotOptimize(out);
    }
    state.counters["occurrences"] = static_cast<double>(events);
}
BENCHMARK(BM_ParseAndExpandReport)->Unit(benchmark::kMillisecond);

}  // namespace
