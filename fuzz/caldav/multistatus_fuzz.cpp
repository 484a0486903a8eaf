// Feeds arbitrary server answers through the multistatus parser and, for
// every calendar-data found (or the input itself), through iCalendar
// parsing, expansion and the edits made to stored events (a title, one
// occurrence, the whole series moved, one occurrence deleted), each written
// out and read back. Only CalDavError may come out.
#include "caldav/engine.h"
#include "caldav/ical_edit.h"
#include "caldav/ical_events.h"
#include "caldav/webdav.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using namespace wrenfold::caldav;
using wrenfold::Json;

namespace {

// One edit of a fresh copy of the stored object, written and read back.
void edit(const std::string& text, const std::vector<EventRecord>& listed, size_t choice, icaltimezone* home,
          const TimeRange& range)
{
    static const EditContext context { home, "Asia/Taipei",
                                       std::chrono::sys_seconds(std::chrono::seconds(1767225600)) };
    try {
        IcalPtr calendar = parse_calendar(text);
        EventFields fields;
        fields.summary = "edited";
        const EventRecord* occurrence = listed.empty() ? nullptr : &listed[choice % listed.size()];
        if (occurrence && choice % 4 != 0) {
            fields.recurrence_id = occurrence->recurrence_id;
            fields.whole_series = choice % 4 == 2;
            fields.start = occurrence->start;
            if (choice % 3 == 0)
                fields.start = fields.start->substr(0, 10);  // turned all-day
            else if (fields.start->size() > 10)
                (*fields.start)[12] = static_cast<char>('0' + choice % 10);
        }
        if (occurrence && choice % 4 == 3)
            remove_occurrence(calendar.get(), occurrence->recurrence_id, context);
        else
            apply_fields(calendar.get(), fields, context);
        IcalPtr again = parse_calendar(serialize(calendar.get()));
        std::vector<EventRecord> out;
        expand_resource(again.get(), { "https://h/c/e.ics", "e" }, range, home, out);
    } catch (const CalDavError&) {
    }
}

void expand(const std::string& text)
{
    static icaltimezone* home = home_zone_for("Asia/Taipei");
    static const TimeRange range { home_midnight(std::chrono::year { 2025 } / 1 / 1, home),
                                   home_midnight(std::chrono::year { 2025 } / 3 / 1, home) };
    std::vector<EventRecord> out;
    try {
        IcalPtr calendar = parse_calendar(text);
        expand_resource(calendar.get(), { "https://h/c/e.ics", "e" }, range, home, out);
        (void)master_record(calendar.get(), { "https://h/c/e.ics", "e" }, home);
    } catch (const CalDavError&) {
        return;
    }
    for (size_t choice = 0; choice < 4; ++choice)
        edit(text, out, choice + text.size(), home, range);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);
    try {
        for (const auto& response : parse_multistatus(input))
            if (const auto* calendar_data = response.prop(kCalDavNs, "calendar-data"))
                expand(calendar_data->text);
    } catch (const CalDavError&) {
    }
    expand(input);
    return 0;
}
