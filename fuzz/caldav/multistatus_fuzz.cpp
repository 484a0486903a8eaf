// Feeds arbitrary server answers through the multistatus parser and, for
// every calendar-data found (or the input itself), through iCalendar
// parsing and expansion. Only CalDavError may come out.
#include "caldav/engine.h"
#include "caldav/ical_events.h"
#include "caldav/webdav.h"

#include <cstddef>
#include <cstdint>

using namespace wrenfold::caldav;
using wrenfold::Json;

namespace {

void expand(const std::string& text) {
    static icaltimezone* home = home_zone_for("Asia/Taipei");
    static const TimeRange range{home_midnight(std::chrono::year{2025} / 1 / 1, home),
                                 home_midnight(std::chrono::year{2025} / 3 / 1, home)};
    try {
        IcalPtr calendar = parse_calendar(text);
        Json out = Json::array();
        expand_resource(calendar.get(), {"https://h/c/e.ics", "e"}, range, home, out);
        (void)master_record(calendar.get(), {"https://h/c/e.ics", "e"}, home);
    } catch (const CalDavError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    try {
        for (const auto& response : parse_multistatus(input))
            if (const auto* calendar_data = response.prop(kCalDavNs, "calendar-data")) expand(calendar_data->text);
    } catch (const CalDavError&) {
    }
    expand(input);
    return 0;
}
