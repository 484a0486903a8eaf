// iCalendar reading, expansion and editing, without a server.
#include "caldav/engine.h"
#include "caldav/ical_edit.h"
#include "caldav/ical_events.h"

#include <gtest/gtest.h>

namespace wrenfold::caldav {
namespace {

using namespace std::chrono;

icaltimezone* taipei()
{
    return home_zone_for("Asia/Taipei");
}

TimeRange days(year_month_day from, year_month_day to)
{
    return { home_midnight(from, taipei()), home_midnight(to, taipei()) };
}

std::vector<std::string> starts_of(const std::string& ics, const TimeRange& range)
{
    IcalPtr calendar = parse_calendar(ics);
    Json out = Json::array();
    expand_resource(calendar.get(), { "https://h/c/e.ics", "\"1\"" }, range, taipei(), out);
    std::vector<std::string> starts;
    for (const auto& e : out)
        starts.push_back(e["start"].get<std::string>() + "|" + e["summary"].get<std::string>());
    std::sort(starts.begin(), starts.end());
    return starts;
}

TEST(IcalExpansion, RuleDatesExceptionsAndOverrides)
{
    const std::string ics =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:s\r\nDTSTAMP:20200101T000000Z\r\n"
        "DTSTART;TZID=Asia/Taipei:20200106T090000\r\nDTEND;TZID=Asia/Taipei:20200106T100000\r\n"
        "RRULE:FREQ=WEEKLY;BYDAY=MO\r\nEXDATE;TZID=Asia/Taipei:20250310T090000\r\n"
        "RDATE;TZID=Asia/Taipei:20250312T150000\r\nSUMMARY:Weekly\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:s\r\nDTSTAMP:20200101T000000Z\r\nRECURRENCE-ID;TZID=Asia/Taipei:20250317T090000\r\n"
        "DTSTART;TZID=Asia/Taipei:20250401T120000\r\nDTEND;TZID=Asia/Taipei:20250401T130000\r\n"
        "SUMMARY:Moved out\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    // Years after the series began: the 10th is excepted, the 17th moved to April.
    EXPECT_EQ(starts_of(ics, days(year { 2025 } / 3 / 3, year { 2025 } / 3 / 25)),
              (std::vector<std::string> { "2025-03-03T09:00:00|Weekly", "2025-03-12T15:00:00|Weekly",
                                          "2025-03-24T09:00:00|Weekly" }));
    EXPECT_EQ(starts_of(ics, days(year { 2025 } / 4 / 1, year { 2025 } / 4 / 2)),
              (std::vector<std::string> { "2025-04-01T12:00:00|Moved out" }));
    // Half-open: an occurrence ending exactly at the range start is out.
    EXPECT_TRUE(starts_of(ics,
                          TimeRange { home_midnight(year { 2025 } / 3 / 3, taipei()) + hours(10),
                                      home_midnight(year { 2025 } / 3 / 3, taipei()) + hours(11) })
                    .empty());
}

TEST(IcalExpansion, AllDaySeriesAndCountedRules)
{
    const std::string ics = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:b\r\nDTSTAMP:20200101T000000Z\r\n"
                            "DTSTART;VALUE=DATE:20250101\r\nDTEND;VALUE=DATE:20250102\r\nRRULE:FREQ=MONTHLY;COUNT=3\r\n"
                            "EXDATE;VALUE=DATE:20250201\r\nSUMMARY:Pay day\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    EXPECT_EQ(starts_of(ics, days(year { 2024 } / 12 / 1, year { 2025 } / 12 / 1)),
              (std::vector<std::string> { "2025-01-01|Pay day", "2025-03-01|Pay day" }));
    IcalPtr calendar = parse_calendar(ics);
    Json record = master_record(calendar.get(), { "u", "e" }, taipei());
    EXPECT_EQ(record["rrule"], "FREQ=MONTHLY;COUNT=3");
    EXPECT_EQ(record["recurring"], true);
    EXPECT_EQ(record["end"], "2025-01-02");
}

TEST(IcalTime, EditorInputForms)
{
    auto text = [](const std::string& input) {
        return format_in_home(parse_input_time(input, taipei(), "start"), taipei());
    };
    EXPECT_EQ(text("2025-03-01"), "2025-03-01");
    EXPECT_EQ(text("2025-03-01T09:30"), "2025-03-01T09:30:00");
    EXPECT_EQ(text("2025-03-01T01:00:00Z"), "2025-03-01T09:00:00");
    EXPECT_EQ(text("2025-03-01T08:00:00+08:00"), "2025-03-01T08:00:00");
    EXPECT_EQ(text("2025-02-28T20:00:00.123-05:00"), "2025-03-01T09:00:00");
    for (const char* bad : { "", "2025-02-30", "2025-03-01T25:00", "2025-03-01T09:00+8", "tomorrow", "2025-03-01X" })
        EXPECT_THROW(parse_input_time(bad, taipei(), "start"), CalDavError) << bad;
}

EditContext context()
{
    return { taipei(), "Asia/Taipei", sys_days { year { 2025 } / 1 / 1 } };
}

TEST(IcalEdit, NewEventsCarryTheHomeZone)
{
    EventFields fields;
    fields.start = "2025-03-01T09:00:00";
    fields.summary = "Tea, with \"friends\"; 茶";
    fields.rrule = "RRULE:FREQ=DAILY;COUNT=2";
    std::string ics = new_event_ics(fields, "uid-1", context());
    EXPECT_NE(ics.find("DTSTART;TZID=Asia/Taipei:20250301T090000"), std::string::npos) << ics;
    EXPECT_NE(ics.find("DTEND;TZID=Asia/Taipei:20250301T100000"), std::string::npos);
    EXPECT_NE(ics.find("BEGIN:VTIMEZONE"), std::string::npos);
    EXPECT_EQ(starts_of(ics, days(year { 2025 } / 3 / 1, year { 2025 } / 3 / 5)),
              (std::vector<std::string> { "2025-03-01T09:00:00|Tea, with \"friends\"; 茶",
                                          "2025-03-02T09:00:00|Tea, with \"friends\"; 茶" }));
    fields.rrule = "FREQ=SOMETIMES";
    EXPECT_THROW(new_event_ics(fields, "uid-1", context()), CalDavError);
}

TEST(IcalEdit, OccurrenceEditMovesTheSeriesAndKeepsEverythingElse)
{
    const std::string ics = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:s\r\nDTSTAMP:20200101T000000Z\r\n"
                            "DTSTAMP:20200101T000000Z\r\nSEQUENCE:2\r\nDTSTART;TZID=Asia/Taipei:20250303T090000\r\n"
                            "DURATION:PT1H\r\nRRULE:FREQ=WEEKLY\r\nEXDATE;TZID=Asia/Taipei:20250310T090000\r\n"
                            "SUMMARY:Weekly\r\nX-CUSTOM:1\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    IcalPtr calendar = parse_calendar(ics);
    EventFields fields;
    fields.recurrence_id = "2025-03-17T09:00:00";
    fields.whole_series = true;
    fields.start = "2025-03-18T09:30:00";  // a day and half an hour later
    apply_fields(calendar.get(), fields, context());
    std::string edited = serialize(calendar.get());
    EXPECT_NE(edited.find("RRULE:FREQ=WEEKLY"), std::string::npos) << edited;
    EXPECT_NE(edited.find("X-CUSTOM:1"), std::string::npos);
    EXPECT_NE(edited.find("SEQUENCE:3"), std::string::npos);
    EXPECT_EQ(edited.find("DTSTAMP:20200101"), std::string::npos);  // one fresh DTSTAMP
    EXPECT_EQ(starts_of(edited, days(year { 2025 } / 3 / 1, year { 2025 } / 3 / 20)),
              (std::vector<std::string> { "2025-03-04T09:30:00|Weekly", "2025-03-18T09:30:00|Weekly" }));

    // A plain edit of the master without times leaves them alone.
    EventFields rename;
    rename.summary = "";
    rename.location = "Room 1";
    apply_fields(calendar.get(), rename, context());
    Json record = master_record(calendar.get(), { "u", "e" }, taipei());
    EXPECT_EQ(record["summary"], "");
    EXPECT_EQ(record["location"], "Room 1");
    EXPECT_EQ(record["start"], "2025-03-04T09:30:00");
    EXPECT_EQ(record["end"], "2025-03-04T10:30:00");
}

TEST(IcalParse, GarbageIsAnError)
{
    EXPECT_THROW(parse_calendar(""), CalDavError);
    EXPECT_THROW(parse_calendar("BEGIN:VEVENT\r\nEND:VEVENT\r\n"), CalDavError);
    IcalPtr empty = parse_calendar("BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n");
    EXPECT_THROW(master_record(empty.get(), { "u", "e" }, taipei()), CalDavError);
    EXPECT_THROW(home_zone_for("Mars/Olympus"), CalDavError);
}

}  // namespace
}  // namespace wrenfold::caldav
