// The JSON forms of the engine's results, as the page and the assistant
// read them: keys, their order, and which keys are left out.
#include "caldav/results.h"

#include <gtest/gtest.h>

using wrenfold::Json;
using namespace wrenfold::caldav;

TEST(EngineResultJson, DiscoveredCalendarLeavesOutWhatTheServerDidNotGive)
{
    DiscoveredCalendar full { "https://h/c/work/", "Work", "#FF2968", true, "\"ctag-9\"" };
    EXPECT_EQ(full.to_json().dump(),
              R"({"url":"https://h/c/work/","name":"Work","color":"#FF2968","read_only":true,"ctag":"\"ctag-9\""})");
    DiscoveredCalendar bare { "https://h/c/home/", "home", std::nullopt, false, std::nullopt };
    EXPECT_EQ(bare.to_json().dump(), R"({"url":"https://h/c/home/","name":"home","read_only":false})");
    EXPECT_EQ(to_json(std::vector<DiscoveredCalendar> { bare, full }).size(), 2u);
    EXPECT_EQ(to_json(std::vector<DiscoveredCalendar> {}), Json::array());
}

TEST(EngineResultJson, EventRecordHasEveryKeyInListingOrder)
{
    EventRecord occurrence;
    occurrence.uid = "s-1";
    occurrence.summary = "Stand-up";
    occurrence.start = "2025-03-03T09:00:00";
    occurrence.end = "2025-03-03T09:15:00";
    occurrence.location = "Room 4";
    occurrence.description = "daily";
    occurrence.rrule = "FREQ=DAILY;COUNT=5";
    occurrence.url = "https://h/c/s-1.ics";
    occurrence.etag = "\"3\"";
    occurrence.recurring = true;
    occurrence.recurrence_id = "2025-03-03T09:00:00";
    EXPECT_EQ(
        occurrence.to_json().dump(),
        R"({"uid":"s-1","summary":"Stand-up","start":"2025-03-03T09:00:00","end":"2025-03-03T09:15:00",)"
        R"("all_day":false,"location":"Room 4","description":"daily","rrule":"FREQ=DAILY;COUNT=5",)"
        R"("url":"https://h/c/s-1.ics","etag":"\"3\"","recurring":true,"recurrence_id":"2025-03-03T09:00:00","alarms":[]})");

    EventRecord empty;
    empty.all_day = true;
    EXPECT_EQ(empty.to_json().dump(),
              R"({"uid":"","summary":"","start":"","end":"","all_day":true,"location":"","description":"",)"
              R"("rrule":"","url":"","etag":"","recurring":false,"recurrence_id":"","alarms":[]})");
}

TEST(EngineResultJson, WriteResultStartsWithOkAndNamesOnlyWhatTheWriteGave)
{
    EXPECT_EQ((WriteResult { "https://h/c/n.ics", "\"1\"", "n" }).to_json().dump(),
              R"({"ok":true,"url":"https://h/c/n.ics","etag":"\"1\"","uid":"n"})");
    EXPECT_EQ((WriteResult { "https://h/c/n.ics", "\"2\"", std::nullopt }).to_json().dump(),
              R"({"ok":true,"url":"https://h/c/n.ics","etag":"\"2\""})");
    EXPECT_EQ(WriteResult {}.to_json().dump(), R"({"ok":true})");
}
