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
    auto event = [](const std::string& summary, const std::string& start, const std::string& url,
                    const std::string& calendar_name, const std::string& account_id) {
        return Json { { "url", url },
                      { "etag", "e" },
                      { "summary", summary },
                      { "start", start },
                      { "end", start },
                      { "all_day", false },
                      { "calendar_url", "https://a/w/" },
                      { "calendar_name", calendar_name },
                      { "account_id", account_id },
                      { "description", "secret" } };
    };
    Json events = Json::array({
        event("weekly", "2025-06-09T10:00:00", "https://a/w/1.ics", "Work", "A1"),
        event("once", "2025-06-03T08:00:00", "https://a/w/2.ics", "Work", "ghost"),
        event("weekly", "2025-06-02T10:00:00", "https://a/w/1.ics", "Work", "A1"),
        event("home", "2025-06-04", "https://a/h/3.ics", " HOME", "A1"),
        { { "summary", "端午節" },
          { "start", "2025-05-31" },
          { "calendar_url", "local:tw_holidays" },
          { "calendar_name", "Work" } },
    });
    auto items = query_items(events, " work", parse_accounts(two_accounts()));
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
    EXPECT_EQ(items[1]["account"], "");

    auto one_account = query_items(events, "", parse_accounts(Json::array({ two_accounts()[0] })));
    ASSERT_EQ(one_account.size(), 3u);
    EXPECT_EQ(one_account[1]["summary"], "once");
    EXPECT_FALSE(one_account[0].contains("account"));
    EXPECT_TRUE(query_items(events, "Taiwan holidays", parse_accounts(two_accounts())).empty());
}
