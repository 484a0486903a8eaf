// Deleting "this and following events": the series ends just before the
// occurrence in the form its start is written in, and the rest of the object
// is written back as it was.
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

// Lines another program wrote that the cut must leave exactly as they were.
const std::string kForeignLines = "GEO:abc\r\nX-ODD;X-LIST=\"a,b\",c:kept\\, as is\r\n";

std::string series(const std::string& start, const std::string& end, const std::string& rule, const std::string& rdates,
                   const std::string& override_id, const std::string& override_start)
{
    return wrap("BEGIN:VEVENT\r\nUID:s\r\nDTSTAMP:20240101T000000Z\r\n" + start + end + rule + rdates +
                "SUMMARY:Weekly\r\n" + kForeignLines + "END:VEVENT\r\n" +
                "BEGIN:VEVENT\r\nUID:s\r\nDTSTAMP:20240101T000000Z\r\n" + override_id + override_start +
                "SUMMARY:Moved\r\nEND:VEVENT\r\n");
}

struct StartKind {
    const char* name;
    std::string ics;
    std::string cut;    // the occurrence deleted from, as listed
    std::string until;  // what the rule must end with
};

TEST(SeriesEnd, EndsBeforeTheOccurrenceInTheKindOfItsStartAndKeepsTheRest)
{
    const StartKind kinds[] = {
        { "zoned",
          series("DTSTART;TZID=Europe/Berlin:20250303T090000\r\n", "DTEND;TZID=Europe/Berlin:20250303T100000\r\n",
                 "RRULE:FREQ=WEEKLY;COUNT=10\r\n",
                 "RDATE;TZID=Europe/Berlin:20250305T090000\r\nRDATE;TZID=Europe/Berlin:20250326T090000\r\n",
                 "RECURRENCE-ID;TZID=Europe/Berlin:20250324T090000\r\n",
                 "DTSTART;TZID=Europe/Berlin:20250324T110000\r\nDTEND;TZID=Europe/Berlin:20250324T120000\r\n"),
          "2025-03-17T16:00:00", "UNTIL=20250317T075959Z" },
        { "utc",
          series("DTSTART:20250303T010000Z\r\n", "DTEND:20250303T020000Z\r\n", "RRULE:FREQ=WEEKLY\r\n",
                 "RDATE:20250305T010000Z\r\nRDATE:20250326T010000Z\r\n", "RECURRENCE-ID:20250324T010000Z\r\n",
                 "DTSTART:20250324T030000Z\r\nDTEND:20250324T040000Z\r\n"),
          "2025-03-17T09:00:00", "UNTIL=20250317T005959Z" },
        { "floating",
          series("DTSTART:20250303T090000\r\n", "DTEND:20250303T100000\r\n",
                 "RRULE:FREQ=WEEKLY;UNTIL=20250601T000000\r\n", "RDATE:20250305T090000\r\nRDATE:20250326T090000\r\n",
                 "RECURRENCE-ID:20250324T090000\r\n", "DTSTART:20250324T110000\r\nDTEND:20250324T120000\r\n"),
          "2025-03-17T09:00:00", "UNTIL=20250317T085959" },
        { "all-day",
          series("DTSTART;VALUE=DATE:20250303\r\n", "DTEND;VALUE=DATE:20250304\r\n", "RRULE:FREQ=WEEKLY;COUNT=10\r\n",
                 "RDATE;VALUE=DATE:20250305\r\nRDATE;VALUE=DATE:20250326\r\n", "RECURRENCE-ID;VALUE=DATE:20250324\r\n",
                 "DTSTART;VALUE=DATE:20250325\r\nDTEND;VALUE=DATE:20250326\r\n"),
          "2025-03-17", "UNTIL=20250316\r\n" },
    };
    for (const StartKind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        EditedObject object = open_for_edit(kind.ics);
        ASSERT_FALSE(end_series_before(object.calendar.get(), kind.cut, context()));
        const std::string after = write_back(object);

        auto expected = occurrences(kind.ics);
        std::erase_if(expected, [&](const std::string& line) { return line.substr(0, kind.cut.size()) >= kind.cut; });
        ASSERT_EQ(expected.size(), 3u);  // two weekly ones and the added date before the cut
        EXPECT_EQ(occurrences(after), expected) << after;

        EXPECT_NE(after.find(kind.until), std::string::npos) << after;
        EXPECT_EQ(after.find("COUNT="), std::string::npos) << after;
        EXPECT_NE(after.find(kForeignLines), std::string::npos) << after;
        EXPECT_EQ(after.find("SUMMARY:Moved"), std::string::npos) << after;
        EXPECT_EQ(after.find("0326"), std::string::npos) << after;  // the added date after the cut
    }
}

TEST(SeriesEnd, NothingLeftBeforeTheOccurrenceMeansTheWholeObjectGoes)
{
    const std::string weekly =
        wrap("BEGIN:VEVENT\r\nUID:w\r\nDTSTAMP:20240101T000000Z\r\n"
             "DTSTART;TZID=Europe/Berlin:20250303T090000\r\nDTEND;TZID=Europe/Berlin:20250303T100000\r\n"
             "RRULE:FREQ=WEEKLY\r\nEXDATE;TZID=Europe/Berlin:20250303T090000\r\nSUMMARY:W\r\n"
             "END:VEVENT\r\n");
    struct Case {
        const char* cut;
        bool whole;
    };
    // The first occurrence is excluded: the second is the first one shown.
    for (const Case& c : { Case { "2025-03-10T16:00:00", true }, Case { "2025-03-17T16:00:00", false } }) {
        SCOPED_TRACE(c.cut);
        IcalPtr calendar = parse_calendar(weekly);
        EXPECT_EQ(end_series_before(calendar.get(), c.cut, context()), c.whole);
    }
    IcalPtr one_off = parse_calendar(wrap("BEGIN:VEVENT\r\nUID:o\r\nDTSTART:20250303T010000Z\r\nEND:VEVENT\r\n"));
    EXPECT_THROW(end_series_before(one_off.get(), "2025-03-03T09:00:00", context()), CalDavError);
}

}  // namespace
}  // namespace wrenfold::caldav
