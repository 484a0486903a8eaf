// Edits of events written by other programs: what is not edited survives as
// written, repeating events keep every occurrence in place.
#include "caldav/engine.h"
#include "caldav/ical_edit.h"
#include "caldav/ical_events.h"
#include "ical_samples.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace wrenfold::caldav {
namespace {

using namespace std::chrono;

EditContext context()
{
    return { taipei(), "Asia/Taipei", sys_days { year { 2026 } / 1 / 1 } };
}

std::string edited(const std::string& ics, const EventFields& fields)
{
    IcalPtr calendar = parse_calendar(ics);
    apply_fields(calendar.get(), fields, context());
    return serialize(calendar.get());
}

std::vector<std::string> lines_starting(const std::string& ics, const std::string& prefix)
{
    std::vector<std::string> found;
    size_t pos = 0;
    while ((pos = ics.find("\r\n" + prefix, pos)) != std::string::npos) {
        size_t end = ics.find("\r\n", pos + 2);
        found.push_back(ics.substr(pos + 2, end - pos - 2));
        pos = end;
    }
    return found;
}

// What the parser makes of a text (RRULE parts in its order, CATEGORIES one
// value a line): the stored form that edits are compared with.
std::string as_parsed(const std::string& ics)
{
    IcalPtr calendar = parse_calendar(ics);
    return serialize(calendar.get());
}

std::vector<std::string> renamed(std::vector<std::string> lines, const std::string& from, const std::string& to)
{
    for (auto& line : lines)
        if (auto at = line.rfind(from); at != std::string::npos && at + from.size() == line.size())
            line.replace(at, from.size(), to);
    return lines;
}

const std::string kLosAngelesLastFriday =
    wrap("BEGIN:VEVENT\r\nUID:la\r\nDTSTAMP:20240101T000000Z\r\n"
         "DTSTART;TZID=America/Los_Angeles:20240126T170000\r\nDTEND;TZID=America/Los_Angeles:20240126T180000\r\n"
         "RRULE:FREQ=MONTHLY;BYDAY=-1FR;COUNT=12\r\nSUMMARY;LANGUAGE=en:Review\r\nLOCATION:\r\n"
         "ATTENDEE;CN=Ann;PARTSTAT=ACCEPTED:mailto:ann@example.com\r\nCATEGORIES:work,review\r\n"
         "X-OTHER-PROGRAM;X-P=1:kept\r\n"
         "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:Reminder\r\nTRIGGER:-PT15M\r\nEND:VALARM\r\nEND:VEVENT\r\n");

const std::string kBerlinWeekly =
    wrap("BEGIN:VEVENT\r\nUID:be\r\nDTSTAMP:20240101T000000Z\r\n"
         "DTSTART;TZID=Europe/Berlin:20250303T090000\r\nDTEND;TZID=Europe/Berlin:20250303T100000\r\n"
         "RRULE:FREQ=WEEKLY;BYDAY=MO,WE;UNTIL=20250416T070000Z\r\n"
         "EXDATE;TZID=Europe/Berlin:20250331T090000\r\nSUMMARY:Stand-up\r\nEND:VEVENT\r\n"
         "BEGIN:VEVENT\r\nUID:be\r\nDTSTAMP:20240101T000000Z\r\nRECURRENCE-ID;TZID=Europe/Berlin:20250312T090000\r\n"
         "DTSTART;TZID=Europe/Berlin:20250312T140000\r\nDTEND;TZID=Europe/Berlin:20250312T150000\r\n"
         "SUMMARY:Stand-up (afternoon)\r\nEND:VEVENT\r\n");

TEST(IcalEditing, ATitleEditWithTheTimesAsListedChangesOnlyTheTitle)
{
    for (const std::string& ics : { kLosAngelesLastFriday, kBerlinWeekly }) {
        IcalPtr calendar = parse_calendar(ics);
        Json master = master_record(calendar.get(), { "u", "e" }, taipei()).to_json();
        EventFields fields;
        fields.summary = "Renamed";
        fields.start = master["start"].get<std::string>();  // what the page and the assistant send
        fields.end = master["end"].get<std::string>();
        fields.rrule = master["rrule"].get<std::string>();
        std::string after = edited(ics, fields);
        EXPECT_EQ(occurrences(after), renamed(occurrences(ics), master["summary"].get<std::string>(), "Renamed"))
            << after;
        for (const char* kept : { "DTSTART", "DTEND", "RRULE", "EXDATE", "RECURRENCE-ID", "ATTENDEE", "CATEGORIES",
                                  "X-OTHER-PROGRAM", "TRIGGER" })
            EXPECT_EQ(lines_starting(after, kept), lines_starting(as_parsed(ics), kept)) << kept;
        EXPECT_EQ(after.find("X-LIC-ERROR"), std::string::npos) << after;
    }
    std::string after = edited(kLosAngelesLastFriday, [] {
        EventFields fields;
        fields.summary = "Renamed";
        return fields;
    }());
    EXPECT_EQ(lines_starting(after, "SUMMARY"), std::vector<std::string> { "SUMMARY;LANGUAGE=en:Renamed" });
}

TEST(IcalEditing, AChangedTimeIsWrittenInTheEventsOwnForm)
{
    auto one = [](const std::string& start, const std::string& end) {
        return wrap("BEGIN:VEVENT\r\nUID:o\r\nDTSTAMP:20240101T000000Z\r\nDTSTART" + start + "\r\nDTEND" + end +
                    "\r\nSUMMARY:One\r\nEND:VEVENT\r\n");
    };
    EventFields later;
    later.start = "2025-06-02T09:00:00";  // Taipei wall clock
    // Los Angeles stays Los Angeles: 09:00 in Taipei is 18:00 the day before there.
    std::string la =
        edited(one(";TZID=America/Los_Angeles:20250531T100000", ";TZID=America/Los_Angeles:20250531T113000"), later);
    EXPECT_EQ(lines_starting(la, "DTSTART"),
              std::vector<std::string> { "DTSTART;TZID=America/Los_Angeles:20250601T180000" });
    EXPECT_EQ(lines_starting(la, "DTEND"),
              std::vector<std::string> { "DTEND;TZID=America/Los_Angeles:20250601T193000" });
    std::string utc = edited(one(":20250531T020000Z", ":20250531T030000Z"), later);
    EXPECT_EQ(lines_starting(utc, "DTSTART"), std::vector<std::string> { "DTSTART:20250602T010000Z" });
    std::string floating = edited(one(":20250531T100000", ":20250531T110000"), later);
    EXPECT_EQ(lines_starting(floating, "DTSTART"), std::vector<std::string> { "DTSTART:20250602T090000" });
    EXPECT_EQ(floating.find("VTIMEZONE"), std::string::npos);
    EventFields day;
    day.start = "2025-06-02";
    std::string all_day = edited(one(";VALUE=DATE:20250531", ";VALUE=DATE:20250601"), day);
    EXPECT_EQ(lines_starting(all_day, "DTSTART"), std::vector<std::string> { "DTSTART;VALUE=DATE:20250602" });
    EXPECT_EQ(lines_starting(all_day, "DTEND"), std::vector<std::string> { "DTEND;VALUE=DATE:20250603" });
    // Only the end moves: the start is left as written.
    EventFields longer;
    longer.start = "2025-05-31T10:00:00";
    longer.end = "2025-05-31T12:00:00";
    std::string taipei_event = edited(one(";TZID=/mozilla.org/20050126_1/Asia/Taipei:20250531T100000",
                                          ";TZID=/mozilla.org/20050126_1/Asia/Taipei:20250531T110000"),
                                      longer);
    EXPECT_EQ(lines_starting(taipei_event, "DTSTART"),
              std::vector<std::string> { "DTSTART;TZID=/mozilla.org/20050126_1/Asia/Taipei:20250531T100000" });
    EXPECT_EQ(lines_starting(taipei_event, "DTEND"),
              std::vector<std::string> { "DTEND;TZID=/mozilla.org/20050126_1/Asia/Taipei:20250531T120000" });
    // One reading of an end before the start: listing and editing agree.
    std::string backwards = one(";TZID=Asia/Taipei:20250531T100000", ";TZID=Asia/Taipei:20250531T090000");
    IcalPtr parsed = parse_calendar(backwards);
    EXPECT_EQ(master_record(parsed.get(), { "u", "e" }, taipei()).to_json()["end"], "2025-05-31T10:00:00");
    EventFields moved;
    moved.start = "2025-05-31T11:00:00";
    EXPECT_EQ(occurrences(edited(backwards, moved)),
              std::vector<std::string> { " 2025-05-31T11:00:00 2025-05-31T11:00:00 One" });
}

TEST(IcalEditing, OneOccurrenceBecomesAnOverrideAndTheSeriesStays)
{
    const auto before = occurrences(kBerlinWeekly);
    // 2025-03-05 09:00 Berlin is 16:00 in Taipei.
    EventFields fields;
    fields.recurrence_id = "2025-03-05T16:00:00";
    fields.summary = "Just this one";
    fields.start = "2025-03-05T18:00:00";
    fields.end = "2025-03-05T19:00:00";
    std::string after = edited(kBerlinWeekly, fields);
    EXPECT_NE(after.find("RECURRENCE-ID;TZID=Europe/Berlin:20250305T090000"), std::string::npos) << after;
    auto expected = before;
    std::replace(expected.begin(), expected.end(),
                 std::string("2025-03-05T16:00:00 2025-03-05T16:00:00 2025-03-05T17:00:00 Stand-up"),
                 std::string("2025-03-05T16:00:00 2025-03-05T18:00:00 2025-03-05T19:00:00 Just this one"));
    EXPECT_EQ(occurrences(after), expected);
    EXPECT_EQ(lines_starting(after, "RRULE"), lines_starting(as_parsed(kBerlinWeekly), "RRULE"));

    // Renaming the occurrence that was already moved renames it alone.
    EventFields rename;
    rename.recurrence_id = "2025-03-12T16:00:00";
    rename.summary = "Afternoon";
    std::string renamed_after = edited(kBerlinWeekly, rename);
    EXPECT_EQ(occurrences(renamed_after), renamed(before, "Stand-up (afternoon)", "Afternoon"));
    // An occurrence the series does not have (an excluded one, a wrong time) is refused.
    for (const char* missing : { "2025-03-31T15:00:00", "2025-03-05T16:30:00", "2025-03-05" }) {
        rename.recurrence_id = missing;
        EXPECT_THROW(edited(kBerlinWeekly, rename), CalDavError) << missing;
    }
}

TEST(IcalEditing, MovingTheWholeSeriesFromAnOccurrenceMovesEveryOccurrence)
{
    // Wednesday 2025-03-19 09:00 Berlin (16:00 Taipei) to Thursday 10:00 Berlin (17:00 Taipei).
    EventFields fields;
    fields.recurrence_id = "2025-03-19T16:00:00";
    fields.whole_series = true;
    fields.start = "2025-03-20T17:00:00";
    fields.end = "2025-03-20T18:00:00";
    std::string after = edited(kBerlinWeekly, fields);
    EXPECT_EQ(lines_starting(after, "RRULE"),
              std::vector<std::string> { "RRULE:FREQ=WEEKLY;UNTIL=20250417T080000Z;BYDAY=TU,TH" });
    EXPECT_NE(after.find("EXDATE;TZID=Europe/Berlin:20250401T100000"), std::string::npos) << after;
    EXPECT_NE(after.find("RECURRENCE-ID;TZID=Europe/Berlin:20250313T100000"), std::string::npos);
    // Every occurrence one day and one hour of Berlin wall clock later, across the change to summer time.
    std::vector<std::string> starts;
    for (const auto& line : occurrences(after))
        starts.push_back(line.substr(20, 19));
    std::sort(starts.begin(), starts.end());
    EXPECT_EQ(starts,
              (std::vector<std::string> { "2025-03-04T17:00:00", "2025-03-06T17:00:00", "2025-03-11T17:00:00",
                                          "2025-03-13T22:00:00", "2025-03-18T17:00:00", "2025-03-20T17:00:00",
                                          "2025-03-25T17:00:00", "2025-03-27T17:00:00", "2025-04-03T16:00:00",
                                          "2025-04-08T16:00:00", "2025-04-10T16:00:00", "2025-04-15T16:00:00",
                                          "2025-04-17T16:00:00" }));
    // "Last Friday" cannot become "the day after the last Friday": refused, nothing written.
    EventFields shift;
    shift.recurrence_id = "2024-01-27T09:00:00";
    shift.whole_series = true;
    shift.start = "2024-01-28T09:00:00";
    IcalPtr calendar = parse_calendar(kLosAngelesLastFriday);
    EXPECT_THROW(apply_fields(calendar.get(), shift, context()), CalDavError);
    EXPECT_EQ(occurrences(serialize(calendar.get())), occurrences(kLosAngelesLastFriday));
    // The same hour on the same day is fine.
    shift.start = "2024-01-27T10:00:00";
    std::string later = edited(kLosAngelesLastFriday, shift);
    EXPECT_EQ(lines_starting(later, "RRULE"), lines_starting(as_parsed(kLosAngelesLastFriday), "RRULE"));
    EXPECT_EQ(occurrences(later).size(), 12u);
}

TEST(IcalEditing, DeletingOneOccurrenceExcludesItAndDropsItsOverride)
{
    IcalPtr calendar = parse_calendar(kBerlinWeekly);
    remove_occurrence(calendar.get(), "2025-03-12T16:00:00", context());
    remove_occurrence(calendar.get(), "2025-03-17T16:00:00", context());
    std::string after = serialize(calendar.get());
    EXPECT_EQ(after.find("RECURRENCE-ID"), std::string::npos) << after;
    EXPECT_NE(after.find("EXDATE;TZID=Europe/Berlin:20250312T090000"), std::string::npos);
    auto expected = occurrences(kBerlinWeekly);
    std::erase_if(expected, [](const std::string& line) {
        return line.rfind("2025-03-12T16:00:00", 0) == 0 || line.rfind("2025-03-17T16:00:00", 0) == 0;
    });
    EXPECT_EQ(occurrences(after), expected);
    EXPECT_THROW(remove_occurrence(calendar.get(), "2025-03-17T16:00:00", context()), CalDavError);
}

TEST(IcalEditing, ANewStartLeavesTheEndWhereTheEditorPutsIt)
{
    // Events whose end is counted from the start: a DURATION, or none at all.
    auto from_ten = [](const std::string& end) {
        return wrap("BEGIN:VEVENT\r\nUID:d\r\nDTSTAMP:20240101T000000Z\r\n"
                    "DTSTART;TZID=Asia/Taipei:20250601T100000\r\n" +
                    end + "SUMMARY:D\r\nEND:VEVENT\r\n");
    };
    EventFields later_start;
    later_start.start = "2025-06-01T11:00:00";
    later_start.end = "2025-06-01T12:00:00";
    EXPECT_EQ(occurrences(edited(from_ten("DURATION:PT2H\r\n"), later_start)),
              std::vector<std::string> { " 2025-06-01T11:00:00 2025-06-01T12:00:00 D" });
    EventFields earlier_start;
    earlier_start.start = "2025-06-01T09:00:00";
    earlier_start.end = "2025-06-01T10:00:00";
    EXPECT_EQ(occurrences(edited(from_ten(""), earlier_start)),
              std::vector<std::string> { " 2025-06-01T09:00:00 2025-06-01T10:00:00 D" });
    // Moved as a whole, the DURATION stays as written.
    EventFields moved;
    moved.start = "2025-06-01T13:00:00";
    moved.end = "2025-06-01T15:00:00";
    std::string after = edited(from_ten("DURATION:PT2H\r\n"), moved);
    EXPECT_EQ(lines_starting(after, "DURATION"), std::vector<std::string> { "DURATION:PT2H" }) << after;
    EXPECT_EQ(occurrences(after), std::vector<std::string> { " 2025-06-01T13:00:00 2025-06-01T15:00:00 D" });
}

TEST(IcalEditing, AnExcludedDateOfATimedSeriesStaysWithItsOccurrenceOverMidnight)
{
    // Daily at 02:00 with the second day excluded by date, as some programs write it.
    const std::string ics =
        wrap("BEGIN:VEVENT\r\nUID:t\r\nDTSTAMP:20240101T000000Z\r\nDTSTART;TZID=Asia/Taipei:20250601T020000\r\n"
             "DTEND;TZID=Asia/Taipei:20250601T030000\r\nRRULE:FREQ=DAILY;COUNT=4\r\n"
             "EXDATE;VALUE=DATE:20250602\r\nSUMMARY:T\r\nEND:VEVENT\r\n");
    const std::vector<std::string> three_hours_earlier { "2025-05-31T23:00:00|T", "2025-06-02T23:00:00|T",
                                                         "2025-06-03T23:00:00|T" };
    auto listed = [](const std::string& after) {
        return starts_of(after, days(std::chrono::year { 2025 } / 5 / 1, std::chrono::year { 2025 } / 7 / 1));
    };
    EventFields whole;
    whole.start = "2025-05-31T23:00:00";
    whole.end = "2025-06-01T00:00:00";
    EXPECT_EQ(listed(edited(ics, whole)), three_hours_earlier);
    EventFields from_occurrence;
    from_occurrence.recurrence_id = "2025-06-03T02:00:00";
    from_occurrence.whole_series = true;
    from_occurrence.start = "2025-06-02T23:00:00";
    from_occurrence.end = "2025-06-03T00:00:00";
    EXPECT_EQ(listed(edited(ics, from_occurrence)), three_hours_earlier);
    // And back over midnight the other way.
    EventFields later;
    later.start = "2025-06-01T23:00:00";
    later.end = "2025-06-02T00:00:00";
    std::string after = edited(ics, later);
    EXPECT_NE(after.find("EXDATE;VALUE=DATE:20250602"), std::string::npos) << after;
}

TEST(IcalEditing, ASeriesTurnedAllDayAndBackKeepsItsExceptions)
{
    // Daily at 10:00 until the 5th: the 2nd deleted, the 3rd moved to 15:00, the 10th added.
    const std::string timed =
        wrap("BEGIN:VEVENT\r\nUID:s\r\nDTSTAMP:20240101T000000Z\r\nDTSTART;TZID=Asia/Taipei:20250601T100000\r\n"
             "DTEND;TZID=Asia/Taipei:20250601T110000\r\nRRULE:FREQ=DAILY;UNTIL=20250605T020000Z\r\n"
             "EXDATE;TZID=Asia/Taipei:20250602T100000\r\nRDATE;TZID=Asia/Taipei:20250610T100000\r\n"
             "SUMMARY:S\r\nEND:VEVENT\r\n"
             "BEGIN:VEVENT\r\nUID:s\r\nDTSTAMP:20240101T000000Z\r\nRECURRENCE-ID;TZID=Asia/Taipei:20250603T100000\r\n"
             "DTSTART;TZID=Asia/Taipei:20250603T150000\r\nDTEND;TZID=Asia/Taipei:20250603T160000\r\n"
             "SUMMARY:O\r\nEND:VEVENT\r\n");
    EventFields all_day;
    all_day.start = "2025-06-01";
    all_day.all_day = true;
    std::string days_only = edited(timed, all_day);
    EXPECT_EQ(occurrences(days_only),
              (std::vector<std::string> { "2025-06-01 2025-06-01 2025-06-02 S",
                                          "2025-06-03 2025-06-03T15:00:00 2025-06-03T16:00:00 O",
                                          "2025-06-04 2025-06-04 2025-06-05 S", "2025-06-05 2025-06-05 2025-06-06 S",
                                          "2025-06-10 2025-06-10 2025-06-11 S" }))
        << days_only;
    // Timed again, a day later at 08:00: every occurrence goes along.
    EventFields timed_again;
    timed_again.start = "2025-06-02T08:00:00";
    timed_again.end = "2025-06-02T09:30:00";
    timed_again.all_day = false;
    std::string back = edited(days_only, timed_again);
    EXPECT_EQ(occurrences(back),
              (std::vector<std::string> { "2025-06-02T08:00:00 2025-06-02T08:00:00 2025-06-02T09:30:00 S",
                                          "2025-06-04T08:00:00 2025-06-04T15:00:00 2025-06-04T16:00:00 O",
                                          "2025-06-05T08:00:00 2025-06-05T08:00:00 2025-06-05T09:30:00 S",
                                          "2025-06-06T08:00:00 2025-06-06T08:00:00 2025-06-06T09:30:00 S",
                                          "2025-06-11T08:00:00 2025-06-11T08:00:00 2025-06-11T09:30:00 S" }))
        << back;
    EXPECT_NE(back.find("EXDATE;TZID=Asia/Taipei:20250603T080000"), std::string::npos) << back;
}

TEST(IcalEditing, ASeriesThatNoLongerRepeatsLeavesNoStrayOccurrences)
{
    // "Does not repeat" chosen on an occurrence of a series with a moved occurrence.
    EventFields once;
    once.recurrence_id = "2025-03-05T16:00:00";
    once.whole_series = true;
    once.rrule = "";
    std::string after = edited(kBerlinWeekly, once);
    EXPECT_EQ(occurrences(after), std::vector<std::string> { " 2025-03-03T16:00:00 2025-03-03T17:00:00 Stand-up" })
        << after;
    EXPECT_EQ(after.find("RECURRENCE-ID"), std::string::npos);
    EXPECT_EQ(after.find("EXDATE"), std::string::npos);
    // A new rule keeps them: they may still name its occurrences.
    EventFields weekly;
    weekly.rrule = "FREQ=WEEKLY;BYDAY=MO,WE";
    EXPECT_NE(edited(kBerlinWeekly, weekly).find("RECURRENCE-ID"), std::string::npos);
}

// The editing context of the tests below, which read events of 2025.
EditContext context_in_2025()
{
    return { taipei(), "Asia/Taipei", sys_days { year { 2025 } / 1 / 1 } };
}

TEST(IcalEdit, NewEventsCarryTheHomeZone)
{
    EventFields fields;
    fields.start = "2025-03-01T09:00:00";
    fields.summary = "Tea, with \"friends\"; 茶";
    fields.rrule = "RRULE:FREQ=DAILY;COUNT=2";
    std::string ics = new_event_ics(fields, "uid-1", context_in_2025());
    EXPECT_NE(ics.find("DTSTART;TZID=Asia/Taipei:20250301T090000"), std::string::npos) << ics;
    EXPECT_NE(ics.find("DTEND;TZID=Asia/Taipei:20250301T100000"), std::string::npos);
    EXPECT_NE(ics.find("BEGIN:VTIMEZONE"), std::string::npos);
    EXPECT_EQ(starts_of(ics, days(year { 2025 } / 3 / 1, year { 2025 } / 3 / 5)),
              (std::vector<std::string> { "2025-03-01T09:00:00|Tea, with \"friends\"; 茶",
                                          "2025-03-02T09:00:00|Tea, with \"friends\"; 茶" }));
    fields.rrule = "FREQ=SOMETIMES";
    EXPECT_THROW(new_event_ics(fields, "uid-1", context_in_2025()), CalDavError);
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
    apply_fields(calendar.get(), fields, context_in_2025());
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
    apply_fields(calendar.get(), rename, context_in_2025());
    Json record = master_record(calendar.get(), { "u", "e" }, taipei()).to_json();
    EXPECT_EQ(record["summary"], "");
    EXPECT_EQ(record["location"], "Room 1");
    EXPECT_EQ(record["start"], "2025-03-04T09:30:00");
    EXPECT_EQ(record["end"], "2025-03-04T10:30:00");
}

TEST(IcalEdit, AnAllDayEndOnItsStartDayMakesAOneDayEvent)
{
    EventFields fields;
    fields.all_day = true;
    fields.start = "2025-03-05";
    fields.end = "2025-03-05";
    const std::string timed =
        wrap("BEGIN:VEVENT\r\nUID:t\r\nDTSTAMP:20250101T000000Z\r\n"
             "DTSTART;TZID=Asia/Taipei:20250301T090000\r\nDTEND;TZID=Asia/Taipei:20250301T100000\r\n"
             "SUMMARY:Trip\r\nEND:VEVENT\r\n");
    for (const std::string& ics : { new_event_ics(fields, "n", context_in_2025()), edited(timed, fields) }) {
        IcalPtr calendar = parse_calendar(ics);
        Json record = master_record(calendar.get(), { "u", "e" }, taipei()).to_json();
        EXPECT_EQ(record["start"], "2025-03-05") << ics;
        EXPECT_EQ(record["end"], "2025-03-06") << ics;
        EXPECT_EQ(lines_starting(ics, "DTEND"), std::vector<std::string> { "DTEND;VALUE=DATE:20250306" });
    }
}

TEST(IcalEdit, AMonthlyOrYearlySeriesIsNotMovedOntoDaysShortMonthsLack)
{
    struct Case {
        const char* rule;
        const char* first;  // DTSTART, and the occurrence the move is made from
        const char* to;
        bool refused;
    };
    const Case cases[] = {
        { "FREQ=MONTHLY;COUNT=6", "20250127", "2025-01-29T09:00:00", true },
        { "FREQ=MONTHLY;BYMONTHDAY=28;COUNT=6", "20250128", "2025-01-31T09:00:00", true },
        { "FREQ=YEARLY;COUNT=3", "20250127", "2025-01-30T09:00:00", true },
        { "FREQ=MONTHLY;COUNT=6", "20250110", "2025-01-12T09:00:00", false },
        { "FREQ=YEARLY;BYMONTH=1;BYMONTHDAY=26;COUNT=3", "20250126", "2025-01-28T09:00:00", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        const std::string ics =
            wrap(std::string("BEGIN:VEVENT\r\nUID:m\r\nDTSTAMP:20250101T000000Z\r\n") + "DTSTART;TZID=Asia/Taipei:" +
                 c.first + "T090000\r\nDURATION:PT1H\r\nRRULE:" + c.rule + "\r\nSUMMARY:Rent\r\nEND:VEVENT\r\n");
        EventFields move;
        move.recurrence_id = std::string(c.first).insert(6, "-").insert(4, "-") + "T09:00:00";
        move.whole_series = true;
        move.start = c.to;
        IcalPtr calendar = parse_calendar(ics);
        if (c.refused) {
            EXPECT_THROW(apply_fields(calendar.get(), move, context_in_2025()), CalDavError);
            EXPECT_EQ(serialize(calendar.get()), as_parsed(ics));  // refused before anything changed
        } else {
            apply_fields(calendar.get(), move, context_in_2025());
            EXPECT_EQ(starts_of(serialize(calendar.get()), days(year { 2025 } / 1 / 1, year { 2026 } / 1 / 1)).front(),
                      std::string(c.to) + "|Rent");
        }
    }
}

}  // namespace
}  // namespace wrenfold::caldav

namespace wrenfold::caldav {
namespace {

TEST(IcalEdit, ANewZoneKeepsTheWallClockTheEventShowed)
{
    struct Case {
        const char* name;
        std::string times;  // DTSTART and DTEND as stored
        const char* tzid;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        { "zoned",
          "DTSTART;TZID=America/New_York:20270322T090000\r\nDTEND;TZID=America/New_York:20270322T100000\r\n",
          "Europe/London",
          { "DTSTART;TZID=Europe/London:20270322T090000", "DTEND;TZID=Europe/London:20270322T100000" } },
        // UTC and floating times show in the home zone (Taipei): 01:00Z is 09:00 there.
        { "utc",
          "DTSTART:20270322T010000Z\r\nDTEND:20270322T020000Z\r\n",
          "America/New_York",
          { "DTSTART;TZID=America/New_York:20270322T090000", "DTEND;TZID=America/New_York:20270322T100000" } },
        { "floating",
          "DTSTART:20270322T090000\r\nDTEND:20270322T100000\r\n",
          "UTC",
          { "DTSTART:20270322T090000Z", "DTEND:20270322T100000Z" } },
        { "all-day",
          "DTSTART;VALUE=DATE:20270322\r\nDTEND;VALUE=DATE:20270323\r\n",
          "Europe/London",
          { "DTSTART;VALUE=DATE:20270322", "DTEND;VALUE=DATE:20270323" } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EventFields fields;
        fields.tzid = c.tzid;
        std::string after = edited(
            wrap("BEGIN:VEVENT\r\nUID:z\r\nDTSTAMP:20240101T000000Z\r\n" + c.times + "SUMMARY:Call\r\nEND:VEVENT\r\n"),
            fields);
        std::vector<std::string> times = lines_starting(after, "DTSTART");
        auto ends = lines_starting(after, "DTEND");
        times.insert(times.end(), ends.begin(), ends.end());
        std::erase_if(times, [](const std::string& line) { return line.find(":2027") == std::string::npos; });
        EXPECT_EQ(times, c.expected) << after;  // the event's, not its VTIMEZONE's
        bool zoned = c.expected[0].find("TZID=") != std::string::npos;
        EXPECT_EQ(after.find(std::string("TZID:") + c.tzid) != std::string::npos, zoned) << "its VTIMEZONE goes along";
    }
    EventFields fields;
    fields.tzid = "Europe/London";
    EXPECT_THROW(edited(kBerlinWeekly, fields), CalDavError);
}

}  // namespace
}  // namespace wrenfold::caldav
