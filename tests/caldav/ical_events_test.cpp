// iCalendar reading and the expansion of repeating events, without a server.
#include "caldav/engine.h"
#include "caldav/ical_edit.h"
#include "caldav/ical_events.h"
#include "ical_samples.h"

#include <gtest/gtest.h>

namespace wrenfold::caldav {
namespace {

using namespace std::chrono;

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
    Json record = master_record(calendar.get(), { "u", "e" }, taipei()).to_json();
    EXPECT_EQ(record["rrule"], "FREQ=MONTHLY;COUNT=3");
    EXPECT_EQ(record["recurring"], true);
    EXPECT_EQ(record["end"], "2025-01-02");
}

TEST(IcalParse, GarbageIsAnError)
{
    EXPECT_THROW(parse_calendar(""), CalDavError);
    EXPECT_THROW(parse_calendar("BEGIN:VEVENT\r\nEND:VEVENT\r\n"), CalDavError);
    IcalPtr empty = parse_calendar("BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n");
    EXPECT_THROW(master_record(empty.get(), { "u", "e" }, taipei()), CalDavError);
    EXPECT_THROW(home_zone_for("Mars/Olympus"), CalDavError);
}

TEST(IcalReading, EveryRdateRulesAlignedAndDaylightSavingGaps)
{
    const std::string rdates =
        wrap("BEGIN:VEVENT\r\nUID:r\r\nDTSTAMP:20240101T000000Z\r\nDTSTART;TZID=Asia/Taipei:20250301T090000\r\n"
             "DURATION:PT1H\r\nRDATE;TZID=Asia/Taipei:20250305T090000,20250307T090000\r\n"
             "RDATE;VALUE=PERIOD:20250310T010000Z/20250310T020000Z\r\nRDATE;TZID=Asia/Taipei:20250312T090000\r\n"
             "SUMMARY:R\r\nEND:VEVENT\r\n");
    std::vector<std::string> starts;
    for (const auto& line : occurrences(rdates))
        starts.push_back(line.substr(20, 19));
    EXPECT_EQ(starts,
              (std::vector<std::string> { "2025-03-01T09:00:00", "2025-03-05T09:00:00", "2025-03-07T09:00:00",
                                          "2025-03-10T09:00:00", "2025-03-12T09:00:00" }));
    // Every seventh hour since 2020, looked at years later.
    const std::string hourly = wrap("BEGIN:VEVENT\r\nUID:h\r\nDTSTAMP:20200101T000000Z\r\nDTSTART:20200101T000000Z\r\n"
                                    "RRULE:FREQ=HOURLY;INTERVAL=7\r\nSUMMARY:H\r\nEND:VEVENT\r\n");
    auto hours_seen = occurrences(hourly, year { 2025 } / 3 / 1, year { 2025 } / 3 / 3);
    ASSERT_GE(hours_seen.size(), 6u);
    const auto series_start = sys_days { year { 2020 } / 1 / 1 };
    for (const auto& line : hours_seen) {
        auto start = instant_of(parse_input_time(line.substr(20, 19), taipei(), "start"), taipei());
        EXPECT_EQ(duration_cast<hours>(start - series_start).count() % 7, 0) << line;
    }
    // 02:30 does not exist in Berlin on 2025-03-30: it is 03:30 summer time, shown once with its override.
    const std::string gap =
        wrap("BEGIN:VEVENT\r\nUID:g\r\nDTSTAMP:20240101T000000Z\r\nDTSTART;TZID=Europe/Berlin:20250328T023000\r\n"
             "DTEND;TZID=Europe/Berlin:20250328T030000\r\nRRULE:FREQ=DAILY;COUNT=4\r\nSUMMARY:Night\r\nEND:VEVENT\r\n"
             "BEGIN:VEVENT\r\nUID:g\r\nDTSTAMP:20240101T000000Z\r\nRECURRENCE-ID;TZID=Europe/Berlin:20250330T023000\r\n"
             "DTSTART;TZID=Europe/Berlin:20250330T040000\r\nDTEND;TZID=Europe/Berlin:20250330T043000\r\n"
             "SUMMARY:Night (moved)\r\nEND:VEVENT\r\n");
    EXPECT_EQ(occurrences(gap),
              (std::vector<std::string> { "2025-03-28T09:30:00 2025-03-28T09:30:00 2025-03-28T10:00:00 Night",
                                          "2025-03-29T09:30:00 2025-03-29T09:30:00 2025-03-29T10:00:00 Night",
                                          "2025-03-30T09:30:00 2025-03-30T10:00:00 2025-03-30T10:30:00 Night (moved)",
                                          "2025-03-31T08:30:00 2025-03-31T08:30:00 2025-03-31T09:00:00 Night" }));
}

TEST(IcalExpansion, AnEventWhoseStartCannotBeReadShowsOnTheDayItWasWritten)
{
    // The first start is not a date-time at all; the second names a 13th month.
    const std::string ics =
        wrap("BEGIN:VEVENT\r\nUID:a\r\nDTSTAMP:20250313T020000Z\r\nDTSTART;TZID=Europe/Berlin:2025031T0900\r\n"
             "SUMMARY:Broken\r\nEND:VEVENT\r\n"
             "BEGIN:VEVENT\r\nUID:b\r\nCREATED:20250314T200000Z\r\nDTSTART:20251340T090000\r\n"
             "SUMMARY:Broken too\r\nEND:VEVENT\r\n");
    EXPECT_EQ(occurrences(ics, year { 2025 } / 3 / 1, year { 2025 } / 4 / 1),
              (std::vector<std::string> { " 2025-03-13 2025-03-14 Broken", " 2025-03-15 2025-03-16 Broken too" }));
}

TEST(IcalExpansion, RulesThatNeedTooMuchWorkAreRefusedNotCut)
{
    auto series = [](const std::string& rule) {
        return wrap("BEGIN:VEVENT\r\nUID:f\r\nDTSTAMP:20250101T000000Z\r\nDTSTART:20250101T000000Z\r\n"
                    "DURATION:PT1S\r\nRRULE:" +
                    rule + "\r\nSUMMARY:F\r\nEND:VEVENT\r\n");
    };
    EXPECT_THROW(occurrences(series("FREQ=SECONDLY"), year { 2025 } / 3 / 1, year { 2025 } / 3 / 2),
                 TooManyOccurrences);
    EXPECT_THROW(occurrences(series("FREQ=MINUTELY"), year { 2025 } / 3 / 1, year { 2025 } / 4 / 1),
                 TooManyOccurrences);
    EXPECT_EQ(occurrences(series("FREQ=MINUTELY"), year { 2025 } / 3 / 1, year { 2025 } / 3 / 2).size(), 1440u);
    EXPECT_EQ(occurrences(series("FREQ=HOURLY"), year { 2025 } / 3 / 1, year { 2025 } / 4 / 1).size(), 744u);
}

TEST(IcalReading, AnEventNamesTheZoneItWasWrittenInWhenNotTheHomeZone)
{
    // start line -> the zone the record names ("" for none)
    const std::vector<std::pair<std::string, std::string>> cases {
        { "DTSTART;TZID=America/New_York:20250310T090000", "America/New_York" },
        { "DTSTART;TZID=/mozilla.org/20050126_1/Europe/Berlin:20250310T090000", "Europe/Berlin" },
        { "DTSTART;TZID=Eastern Standard Time:20250310T090000", "America/New_York" },
        { "DTSTART;TZID=Asia/Taipei:20250310T090000", "" },
        { "DTSTART:20250310T090000Z", "" },
        { "DTSTART:20250310T090000", "" },
        { "DTSTART;VALUE=DATE:20250310", "" },
    };
    for (const auto& [start, zone] : cases) {
        IcalPtr calendar = parse_calendar(
            wrap("BEGIN:VEVENT\r\nUID:z\r\nDTSTAMP:20250101T000000Z\r\n" + start + "\r\nSUMMARY:Z\r\nEND:VEVENT\r\n"));
        std::vector<EventRecord> listed;
        expand_resource(calendar.get(), { "u", "e" }, days(year { 2025 } / 3 / 1, year { 2025 } / 4 / 1), taipei(),
                        listed);
        ASSERT_EQ(listed.size(), 1u) << start;
        Json record = listed[0].to_json();
        EXPECT_EQ(record.value("tzid", std::string {}), zone) << start;
    }
    // A 09:00 in New York is 22:00 at home, and a record of it says both.
    EXPECT_EQ(starts_of(wrap("BEGIN:VEVENT\r\nUID:n\r\nDTSTAMP:20250101T000000Z\r\n"
                             "DTSTART;TZID=America/New_York:20250310T090000\r\nSUMMARY:NY\r\nEND:VEVENT\r\n"),
                        days(year { 2025 } / 3 / 1, year { 2025 } / 4 / 1)),
              (std::vector<std::string> { "2025-03-10T21:00:00|NY" }));
}

}  // namespace
}  // namespace wrenfold::caldav
