// The editor's alerts written into events that carry other programs' alarms.
#include "caldav/alarms.h"
#include "caldav/engine.h"
#include "caldav/ical_edit.h"
#include "ical_samples.h"

#include <gtest/gtest.h>

namespace wrenfold::caldav {
namespace {

using namespace std::chrono;

EditContext context()
{
    return { taipei(), "Asia/Taipei", sys_days { year { 2026 } / 1 / 1 } };
}

std::vector<std::string> valarm_blocks(const std::string& ics)
{
    std::vector<std::string> blocks;
    for (size_t pos = ics.find("BEGIN:VALARM"); pos != std::string::npos; pos = ics.find("BEGIN:VALARM", pos + 1))
        blocks.push_back(ics.substr(pos, ics.find("END:VALARM\r\n", pos) + 12 - pos));
    return blocks;
}

// Through the path a save takes: the stored text opened, edited, written back.
std::string edited(const std::string& ics, const Json& fields)
{
    EditedObject object = open_for_edit(ics);
    apply_fields(object.calendar.get(), parse_fields(fields), context());
    return write_back(object);
}

// Minutes of the alarms listed on each occurrence, in order.
std::vector<std::string> listed_minutes(const std::string& ics)
{
    IcalPtr calendar = parse_calendar(ics);
    std::vector<EventRecord> listed;
    expand_resource(calendar.get(), { "u", "e" }, days(year { 2026 } / 12 / 1, year { 2026 } / 12 / 31), taipei(),
                    listed);
    std::vector<std::string> out;
    for (const EventRecord& event : listed)
        for (const AlarmRecord& alarm : event.alarms)
            out.push_back(event.start.substr(0, 10) + " " + alarm.action + " " +
                          std::to_string(alarm.seconds_before.value_or(0) / 60) + (alarm.own ? " own" : ""));
    return out;
}

const std::string kFifteen = "BEGIN:VALARM\r\nX-WR-ALARMUID:A1\r\nUID:A1\r\nTRIGGER:-PT15M\r\nACTION:DISPLAY\r\n"
                             "DESCRIPTION:Reminder\r\nEND:VALARM\r\n";
const std::string kEmail = "BEGIN:VALARM\r\nACTION:EMAIL\r\nTRIGGER:-P1D\r\nSUMMARY:Tomorrow\r\nDESCRIPTION:Meet\r\n"
                           "ATTENDEE:mailto:boss@example.com\r\nEND:VALARM\r\n";
const std::string kTwenty = "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT20M\r\nDESCRIPTION:Odd\r\n"
                            "X-MOZ-LASTACK:20261201T000000Z\r\nEND:VALARM\r\n";
const std::string kBeforeEnd = "BEGIN:VALARM\r\nACTION:AUDIO\r\nTRIGGER;RELATED=END:-PT5M\r\nEND:VALARM\r\n";

TEST(AlertEdit, ChoicesReplaceOnlyWhatTheEditorShowsForeignAlarmsStayByteForByte)
{
    const std::string stored =
        wrap("BEGIN:VEVENT\r\nUID:e\r\nDTSTAMP:20260101T000000Z\r\nDTSTART;TZID=Asia/Taipei:20261210T100000\r\n"
             "DTEND;TZID=Asia/Taipei:20261210T110000\r\nSUMMARY:Meet\r\n" +
             kFifteen + kEmail + kTwenty + kBeforeEnd + "END:VEVENT\r\n");
    // 15 minutes stays as written, 1 hour is added as ours; the rest untouched.
    std::string both = edited(stored, Json::parse(R"({"alerts": [60, 15]})"));
    std::vector<std::string> blocks = valarm_blocks(both);
    ASSERT_EQ(blocks.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(blocks.begin(), blocks.begin() + 4),
              (std::vector<std::string> { kFifteen, kEmail, kTwenty, kBeforeEnd }));
    EXPECT_EQ(listed_minutes(both),
              (std::vector<std::string> { "2026-12-10 DISPLAY 15", "2026-12-10 EMAIL 1440", "2026-12-10 DISPLAY 20",
                                          "2026-12-10 AUDIO 5", "2026-12-10 DISPLAY 60 own" }));
    // Cleared: the two the editor showed go, the foreign ones it could not show stay.
    EXPECT_EQ(valarm_blocks(edited(both, Json::parse(R"({"alerts": []})"))),
              (std::vector<std::string> { kEmail, kTwenty, kBeforeEnd }));
    // An edit without alerts leaves every alarm alone.
    EXPECT_EQ(valarm_blocks(edited(stored, Json::parse(R"({"summary": "Renamed"})"))), valarm_blocks(stored));
    // Only the editor's choices for the event's kind are written.
    EXPECT_THROW(edited(stored, Json::parse(R"({"alerts": [7]})")), CalDavError);
    EXPECT_THROW(edited(stored, Json::parse(R"({"alerts": [900]})")), CalDavError);
    EXPECT_THROW(parse_fields(Json::parse(R"({"alerts": ["15"]})")), CalDavError);
}

TEST(AlertEdit, NewAllDayEventsAndOneOccurrenceOfASeries)
{
    EventFields fields =
        parse_fields(Json::parse(R"({"summary": "Trip", "start": "2026-12-10", "alerts": [-540, 900]})"));
    std::string created = new_event_ics(fields, "n", context());
    EXPECT_EQ(listed_minutes(created),
              (std::vector<std::string> { "2026-12-10 DISPLAY -540 own", "2026-12-10 DISPLAY 900 own" }));

    const std::string series =
        wrap("BEGIN:VEVENT\r\nUID:s\r\nDTSTAMP:20260101T000000Z\r\nDTSTART;TZID=Asia/Taipei:20261207T090000\r\n"
             "DURATION:PT1H\r\nRRULE:FREQ=DAILY;COUNT=2\r\nSUMMARY:Daily\r\n" +
             kFifteen + "END:VEVENT\r\n");
    std::string one = edited(series, Json::parse(R"({"recurrence_id": "2026-12-08T09:00:00", "scope": "this",
                                                     "alerts": [5]})"));
    EXPECT_EQ(listed_minutes(one), (std::vector<std::string> { "2026-12-07 DISPLAY 15", "2026-12-08 DISPLAY 5 own" }));
}

}  // namespace
}  // namespace wrenfold::caldav
