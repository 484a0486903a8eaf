#include "assistant/action_payload.h"
#include "assistant/calendar_choice.h"
#include "assistant/prompts.h"

#include <gtest/gtest.h>

using namespace wrenfold;
using namespace wrenfold::assistant;

namespace {

Json calendar(const std::string& name, const std::string& url, bool read_only = false)
{
    return { { "name", name }, { "url", url }, { "read_only", read_only } };
}

// Two accounts that both have a calendar called "Work".
Json two_accounts()
{
    return Json::array({
        { { "id", "A1" },
          { "apple_id", "alice@icloud.com" },
          { "home_tzid", "Europe/Paris" },
          { "calendars",
            { calendar("Holidays", "https://a/h/", true), calendar("Work", "https://a/w/"),
              calendar("Home", "https://a/home/") } } },
        { { "id", "B2" },
          { "apple_id", "bob@me.com" },
          { "calendars", { calendar("work ", "https://b/w/"), calendar("Shared", "https://b/s/", true) } } },
    });
}

std::tm sunday_evening()
{
    std::tm t {};
    t.tm_year = 2025 - 1900;
    t.tm_mon = 5;
    t.tm_mday = 1;
    t.tm_hour = 19;
    t.tm_min = 5;
    t.tm_wday = 0;
    return t;
}

}  // namespace

TEST(Prompts, DirectiveAndDocumentsAssembleAsTheAssistantExpects)
{
    EXPECT_NE(language_directive("zh-Hant").find("`zh-Hant`。請**預設用 繁體中文 回覆**"), std::string::npos);
    EXPECT_NE(language_directive("fr").find("`fr`。請**預設用 English (英文) 回覆**"), std::string::npos);

    EXPECT_EQ(documents_section("R", ""), "===== claude規範提示詞.md =====\nR");
    EXPECT_EQ(documents_section("R", "I"), "===== claude規範提示詞.md =====\nR\n\n===== 架構說明目錄.md =====\nI");
    EXPECT_EQ(documents_section("", ""), "");
    auto bare = inline_system_prompt("D", "", "");
    EXPECT_EQ(bare.substr(bare.size() - 3), "\n\nD");
    EXPECT_EQ(inline_system_prompt("D", "", "I").substr(bare.size()), "\n\n===== 架構說明目錄.md =====\nI");

    auto pointer = pointer_system_prompt("D", "_runtime_system_prompt.md");
    EXPECT_EQ(pointer.rfind("你正在透過 Claude Code CLI 為 Wrenfold 的使用者提供協助。\nD\n你的完整運作規則", 0), 0u);
    EXPECT_NE(pointer.find("add-dir 內的 `_runtime_system_prompt.md` 檔案"), std::string::npos);
}

TEST(Prompts, CalendarBlockListsWritableCalendarsWithDefaultAndAccountTags)
{
    Json one = Json::array({ two_accounts()[0] });
    auto block = calendar_context_block(sunday_evening(), one,
                                        default_calendar(parse_accounts(one), "https://a/home/")->calendar.record);
    EXPECT_EQ(block,
              "\n\n----- 行事曆環境 -----\n現在時間：2025-06-01（週日）19:05，時區 Europe/Paris\n"
              "可寫入的行事曆（建立/修改用 calendar 欄位指定名稱,省略則用預設）：\n"
              "  • Work\n  • Home（預設）\n-----");

    auto accounts = two_accounts();
    auto multi = calendar_context_block(sunday_evening(), accounts, std::nullopt);
    EXPECT_NE(multi.find("  ※ 目前有多個 iCloud 帳號。"), std::string::npos);
    EXPECT_NE(multi.find("  • Work〔帳號：alice@icloud.com〕\n"), std::string::npos);
    EXPECT_NE(multi.find("  • work 〔帳號：bob@me.com〕\n-----"), std::string::npos);
    EXPECT_EQ(multi.find("Shared"), std::string::npos);

    auto monday = sunday_evening();
    monday.tm_wday = 1;
    EXPECT_EQ(calendar_context_block(monday, Json::array(), std::nullopt),
              "\n\n----- 行事曆環境 -----\n現在時間：2025-06-01（週一）19:05，時區 Asia/Taipei\n"
              "（目前沒有可寫入的行事曆；請提醒使用者先在側邊欄「＋ 新增帳號」加入 iCloud。）\n-----");

    accounts[1].erase("apple_id");
    EXPECT_ANY_THROW(calendar_context_block(monday, accounts, std::nullopt));
}

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
