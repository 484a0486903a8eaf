#include "assistant/action_payload.h"
#include "sample_accounts.h"

#include <gtest/gtest.h>

using namespace wrenfold;
using namespace wrenfold::assistant;
using namespace wrenfold::testing;

TEST(ActionPayload, FieldsAreNormalisedNullTextBecomingEmpty)
{
    Json payload { { "summary", nullptr }, { "start", 20250601 },  { "all_day", "false" },    { "location", nullptr },
                   { "url", "ignored" },   { "calendar", "Work" }, { "rrule", "FREQ=WEEKLY" } };
    EXPECT_EQ(clean_event_fields(payload),
              (Json { { "summary", "" },
                      { "start", "20250601" },
                      { "all_day", true },
                      { "location", "" },
                      { "calendar", "Work" },
                      { "rrule", "FREQ=WEEKLY" } }));
    EXPECT_EQ(normalized_field(FieldKind::TruthValue, 0), false);
    EXPECT_EQ(normalized_field(FieldKind::Text, true), "true");
    EXPECT_FALSE(event_field_kind("uid"));
    EXPECT_EQ(payload_text(payload, "location"), "");
    EXPECT_EQ(payload_text(payload, "missing"), "");
}

TEST(ActionPayload, QueryMergesSeriesDropsHolidaysAndTagsAccounts)
{
    std::vector<Account> accounts = parse_accounts(two_accounts());
    const Account& alice = accounts[0];
    const Account& bob = accounts[1];
    auto event = [](const std::string& summary, const std::string& start, const std::string& url) {
        caldav::EventRecord record;
        record.summary = summary;
        record.start = start;
        record.end = start;
        record.url = url;
        record.etag = "e";
        record.description = "secret";
        return record;
    };
    Calendar holidays = parse_calendar(Json { { "name", "Work" }, { "url", "local:tw_holidays" } });
    std::vector<CalendarListing> listings {
        { { alice, alice.calendars[1] },
          { event("weekly", "2025-06-09T10:00:00", "https://a/w/1.ics"),
            event("weekly", "2025-06-02T10:00:00", "https://a/w/1.ics") },
          std::nullopt },
        { { bob, bob.calendars[0] }, { event("once", "2025-06-03T08:00:00", "https://b/w/2.ics") }, std::nullopt },
        { { alice, alice.calendars[2] }, { event("home", "2025-06-04", "https://a/home/3.ics") }, std::nullopt },
        { { alice, holidays }, { event("端午節", "2025-05-31", "") }, std::nullopt },
        { { bob, bob.calendars[1] }, { event("lost", "2025-06-01", "https://b/s/4.ics") }, "HTTP 503" },
    };

    auto items = query_items(listings, " WORK", true);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0],
              (Json { { "summary", "weekly" },
                      { "start", "2025-06-02T10:00:00" },
                      { "end", "2025-06-02T10:00:00" },
                      { "all_day", false },
                      { "location", "" },
                      { "calendar", "Work" },
                      { "recurring", true },
                      { "url", "https://a/w/1.ics" },
                      { "etag", "e" },
                      { "account", "alice@icloud.com" } }));
    EXPECT_EQ(items[1]["recurring"], false);
    EXPECT_EQ(items[1]["account"], "bob@me.com");

    auto unfiltered = query_items(listings, "", false);
    ASSERT_EQ(unfiltered.size(), 3u);
    EXPECT_EQ(unfiltered[1]["summary"], "once");
    EXPECT_EQ(unfiltered[2]["summary"], "home");
    EXPECT_FALSE(unfiltered[0].contains("account"));
    EXPECT_TRUE(query_items(listings, "Taiwan holidays", true).empty());
}
