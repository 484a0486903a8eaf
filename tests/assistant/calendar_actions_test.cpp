// The assistant's calendar actions against fake servers: what each action
// resolves, what it asks of the engines, what it answers and when the refresh
// token moves.
#include "app/bridge_table.h"
#include "support/fake_app.h"

#include <gtest/gtest.h>

using wrenfold::AppBridge;
using wrenfold::BridgeReply;
using wrenfold::Json;
using wrenfold::testing::FakeApp;
using wrenfold::testing::FakeEngine;

namespace {

Json calendar(const std::string& url, const std::string& name, bool read_only = false)
{
    return Json::object({ { "url", url }, { "name", name }, { "read_only", read_only } });
}

Json event(const std::string& url, const std::string& summary, const std::string& start)
{
    return Json::object({ { "uid", summary },
                          { "summary", summary },
                          { "start", start },
                          { "end", start },
                          { "all_day", false },
                          { "url", url },
                          { "etag", "\"e-" + summary + "\"" },
                          { "description", "private notes" } });
}

// Ann (listed first) with "Home", "Work" and a read-only "Holidays feed";
// Bob with his own "Work".
struct TwoAccounts : FakeApp {
    std::string ann = add("ann@example.com",
                          Json::array({ calendar("https://p/home/", "Home"), calendar("https://p/work/", "Work"),
                                        calendar("https://p/feed/", "Feed", true) }));
    std::string bob = add("bob@example.com", Json::array({ calendar("https://q/work/", "Work") }));
    std::shared_ptr<FakeEngine> ann_server = engines.engine("ann@example.com");
    std::shared_ptr<FakeEngine> bob_server = engines.engine("bob@example.com");

    std::int64_t refresh_token() { return state()["refresh_token"]; }
    Json failure(const std::string& text) { return Json::object({ { "ok", false }, { "error", text } }); }
};

}  // namespace

TEST(CalendarActions, QueryListsEachSeriesOnceWithoutHolidaysOrPrivateFields)
{
    FakeApp lone;
    EXPECT_EQ(lone.app->claude_query_events(Json::parse(R"({"start": "2025-10-01", "end": "2025-11-01"})")),
              Json::parse(R"({"ok": true, "events": [], "count": 0, "no_account": true})"));

    std::string ann = lone.add(
        "ann@example.com", Json::array({ calendar("https://p/home/", "Home"), calendar("https://p/work/", "Work") }));
    auto server = lone.engines.engine("ann@example.com");
    // A weekly stand-up expanded into four occurrences of one resource, out of order.
    server->put_events("https://p/work/",
                       Json::array({ event("https://p/work/standup.ics", "Stand-up", "2025-10-20T09:00:00"),
                                     event("https://p/work/standup.ics", "Stand-up", "2025-10-06T09:00:00"),
                                     event("https://p/work/review.ics", "Review", "2025-10-08T14:00:00"),
                                     event("https://p/work/standup.ics", "Stand-up", "2025-10-13T09:00:00"),
                                     event("https://p/work/standup.ics", "Stand-up", "2025-10-27T09:00:00") }));
    server->put_events("https://p/home/",
                       Json::array({ event("https://p/home/dentist.ics", "Dentist", "2025-10-07") }));

    // October holds the National Day holiday; the assistant never sees it.
    Json result = lone.app->claude_query_events(Json::parse(R"({"start": "2025-10-01", "end": "2025-11-01"})"));
    ASSERT_EQ(result["ok"], true) << result.dump();
    EXPECT_EQ(result["count"], 3);
    ASSERT_EQ(result["events"].size(), 3u);
    EXPECT_EQ(result["events"][0], Json::parse(R"({"summary": "Stand-up", "start": "2025-10-06T09:00:00",
        "end": "2025-10-06T09:00:00", "all_day": false, "location": "", "calendar": "Work", "recurring": true,
        "url": "https://p/work/standup.ics", "etag": "\"e-Stand-up\""})"));
    EXPECT_EQ(result["events"][1]["summary"], "Dentist");
    EXPECT_EQ(result["events"][1]["recurring"], false);
    EXPECT_EQ(result["events"][2]["summary"], "Review");

    Json work_only = lone.app->claude_query_events(
        Json::parse(R"({"start": "2025-10-01", "end": "2025-11-01", "calendar": " WORK "})"));
    EXPECT_EQ(work_only["count"], 2);

    // A second account tags every item with the Apple ID it belongs to.
    lone.add("bob@example.com", Json::array({ calendar("https://q/work/", "Work") }));
    lone.engines.engine("bob@example.com")
        ->put_events("https://q/work/", Json::array({ event("https://q/work/x.ics", "Lunch", "2025-10-02T12:00:00") }));
    Json both = lone.app->claude_query_events(Json::parse(R"({"start": "2025-10-01", "end": "2025-11-01"})"));
    ASSERT_EQ(both["count"], 4);
    EXPECT_EQ(both["events"][0]["account"], "bob@example.com");
    EXPECT_EQ(both["events"][1]["account"], "ann@example.com");
}

TEST(CalendarActions, QueryAndCreateRefuseIncompletePayloadsInTheInterfaceLanguage)
{
    TwoAccounts fake;
    std::int64_t before = fake.refresh_token();
    auto& app = *fake.app;
    EXPECT_EQ(app.claude_query_events("2025-10-01"), fake.failure("Invalid event data."));
    EXPECT_EQ(app.claude_query_events(Json::parse(R"({"start": "2025-10-01", "end": ""})")),
              fake.failure("Query needs both start and end dates."));
    EXPECT_EQ(app.claude_query_events(Json::parse(R"({"end": "2025-10-01"})")),
              fake.failure("Query needs both start and end dates."));
    EXPECT_EQ(app.claude_create_event(Json::array()), fake.failure("Invalid event data."));
    EXPECT_EQ(app.claude_create_event(Json::parse(R"({"summary": "   ", "start": "2025-10-01"})")),
              fake.failure("Event needs a title."));
    EXPECT_EQ(app.claude_create_event(Json::parse(R"({"summary": null, "start": "2025-10-01"})")),
              fake.failure("Event needs a title."));
    EXPECT_EQ(app.claude_create_event(Json::parse(R"({"summary": "Tea", "start": null})")),
              fake.failure("Event needs a start time."));
    EXPECT_EQ(app.claude_update_event(Json::parse(R"({"summary": "Tea"})")),
              fake.failure("This action needs the event url (use query_events to get it first)."));
    EXPECT_EQ(app.claude_delete_event(Json::parse(R"({"url": ""})")),
              fake.failure("This action needs the event url (use query_events to get it first)."));
    EXPECT_EQ(app.claude_delete_event(Json::parse(R"({"url": "https://elsewhere/cal/x.ics"})")),
              fake.failure("No writable iCloud calendar. Add an account in the sidebar first."));

    app.set_language("zh-Hant");
    EXPECT_EQ(app.claude_create_event(Json::parse(R"({"summary": "Tea"})")), fake.failure("行程需要開始時間。"));
    EXPECT_EQ(app.claude_update_event(Json::parse(R"({"url": "https://elsewhere/cal/x.ics"})")),
              fake.failure("沒有可寫入的 iCloud 行事曆。請先在側邊欄新增帳號。"));

    FakeApp empty;
    empty.app->set_language("zh-Hant");
    EXPECT_EQ(empty.app->claude_create_event(Json::parse(R"({"summary": "Tea", "start": "2025-10-01"})")),
              fake.failure("沒有可寫入的 iCloud 行事曆。請先在側邊欄新增帳號。"));
    // The payload is checked before the calendars are.
    EXPECT_EQ(empty.app->claude_create_event(Json(3)), fake.failure("行程資料不合法。"));

    EXPECT_EQ(fake.refresh_token(), before);
    EXPECT_EQ(fake.ann_server->operations(), (std::vector<std::string> { "check_auth", "discover" }));
}

TEST(CalendarActions, CreateResolvesTheCalendarByNameHintAndDefault)
{
    TwoAccounts fake;
    std::int64_t before = fake.refresh_token();

    // Both accounts have "Work"; the hint (the Apple ID's local part) picks Bob's.
    Json created = fake.app->claude_create_event(Json::parse(R"({"summary": " Tea ", "start": "2025-10-02T10:00:00",
        "calendar": "work", "account": " BOB ", "all_day": "false", "location": null, "colour": "red"})"));
    EXPECT_EQ(created, Json::parse(R"({"ok": true, "summary": " Tea ", "calendar": "Work",
        "account": "bob@example.com", "start": "2025-10-02T10:00:00", "end": null, "all_day": true, "location": "",
        "url": "https://q/work/new.ics", "etag": "\"created-1\""})"));
    EXPECT_EQ(fake.bob_server->created_fields(),
              Json::parse(R"({"summary": " Tea ", "start": "2025-10-02T10:00:00", "all_day": true, "location": ""})"));
    EXPECT_EQ(fake.refresh_token(), before + 1);

    // Without a hint the first account's calendar of that name wins.
    Json to_ann =
        fake.app->claude_create_event(Json::parse(R"({"summary": "Tea", "start": "2025-10-02", "calendar": "Work"})"));
    EXPECT_EQ(to_ann["url"], "https://p/work/new.ics");
    EXPECT_EQ(to_ann["account"], "ann@example.com");

    // A name that matches nothing, or a read-only calendar's URL, falls back to the default.
    fake.app->set_default_calendar("https://q/work/");
    Json unknown = fake.app->claude_create_event(Json::parse(
        R"({"summary": "Tea", "start": "2025-10-02", "calendar": "Gym", "calendar_url": "https://p/feed/"})"));
    EXPECT_EQ(unknown["url"], "https://q/work/new.ics");
    // An exact writable URL beats the name.
    Json by_url = fake.app->claude_create_event(Json::parse(
        R"({"summary": "Tea", "start": "2025-10-02", "calendar": "Work", "calendar_url": "https://p/home/"})"));
    EXPECT_EQ(by_url["calendar"], "Home");

    fake.bob_server->fail("create_event", "HTTP 507 from the server");
    std::int64_t after_creates = fake.refresh_token();
    EXPECT_EQ(fake.app->claude_create_event(Json::parse(R"({"summary": "Tea", "start": "2025-10-02"})")),
              fake.failure("HTTP 507 from the server"));
    EXPECT_EQ(fake.refresh_token(), after_creates);
}

TEST(CalendarActions, UpdateKeepsUntouchedFieldsAndStaysInPlaceUnlessTheNameMatches)
{
    TwoAccounts fake;
    const std::string url = "https://p/work/standup.ics";
    fake.ann_server->put_stored_event(url, Json::parse(R"({"uid": "su-1", "summary": "Stand-up",
        "start": "2025-10-06T09:00:00", "end": "2025-10-06T09:15:00", "all_day": false, "location": "Room 4",
        "rrule": "FREQ=WEEKLY;BYDAY=MO", "etag": "\"server\"", "url": "https://p/work/standup.ics"})"));
    std::int64_t before = fake.refresh_token();

    Json renamed = fake.app->claude_update_event(Json::parse(R"({"url": "https://p/work/standup.ics",
        "summary": "Daily", "uid": "hijack", "description": null})"));
    EXPECT_EQ(renamed, Json::parse(R"({"ok": true, "summary": "Daily", "start": "2025-10-06T09:00:00",
        "end": "2025-10-06T09:15:00", "all_day": false, "url": "https://p/work/standup.ics", "etag": "\"updated\""})"));
    EXPECT_EQ(fake.ann_server->updated_fields(), Json::parse(R"({"uid": "su-1", "summary": "Daily",
        "start": "2025-10-06T09:00:00", "end": "2025-10-06T09:15:00", "all_day": false, "location": "Room 4",
        "description": "", "rrule": "FREQ=WEEKLY;BYDAY=MO"})"));
    EXPECT_EQ(fake.ann_server->calls().back().etag, "\"server\"");  // the etag just read

    // Its own calendar, or a name that matches nothing: no move, not even to the default.
    fake.app->set_default_calendar("https://q/work/");
    for (const char* name : { "gym", " work" }) {
        Json payload = Json::parse(R"({"url": "https://p/work/standup.ics", "etag": "\"mine\"", "all_day": 1})");
        payload["calendar"] = name;
        Json in_place = fake.app->claude_update_event(payload);
        EXPECT_FALSE(in_place.contains("moved")) << name;
        EXPECT_EQ(in_place["all_day"], true);
        EXPECT_EQ(fake.ann_server->calls().back().operation, "update_event") << name;
        EXPECT_EQ(fake.ann_server->calls().back().etag, "\"mine\"");
    }
    EXPECT_EQ(fake.refresh_token(), before + 3);
    EXPECT_TRUE(fake.bob_server->calls().size() == 2u);  // sign-in and discovery only
}

TEST(CalendarActions, UpdateMovesWithinAndAcrossAccounts)
{
    TwoAccounts fake;
    const std::string url = "https://p/work/standup.ics";
    fake.ann_server->put_stored_event(url, Json::parse(R"({"uid": "su-1", "summary": "Stand-up",
        "start": "2025-10-06T09:00:00", "end": "2025-10-06T09:15:00", "all_day": false, "rrule": "FREQ=WEEKLY",
        "etag": "\"server\""})"));
    std::int64_t before = fake.refresh_token();

    // Bob's "Work", named through his Apple ID: created there with the same uid, then deleted at Ann's.
    Json moved = fake.app->claude_update_event(Json::parse(R"({"url": "https://p/work/standup.ics",
        "calendar": "Work", "account": "bob@example.com", "start": "2025-10-07T09:00:00"})"));
    EXPECT_EQ(moved, Json::parse(R"({"ok": true, "summary": "Stand-up", "start": "2025-10-07T09:00:00",
        "end": "2025-10-06T09:15:00", "all_day": false, "calendar": "Work", "moved": true,
        "url": "https://q/work/su-1.ics", "etag": "\"created-1\""})"));
    EXPECT_EQ(fake.bob_server->created_fields()["uid"], "su-1");
    EXPECT_EQ(fake.bob_server->created_fields()["rrule"], "FREQ=WEEKLY");
    auto ann_calls = fake.ann_server->calls();
    EXPECT_EQ(ann_calls.back().operation, "delete_event");
    EXPECT_EQ(ann_calls.back().etag, "\"server\"");
    EXPECT_EQ(fake.refresh_token(), before + 1);

    // Another calendar of the same account is the engine's own move.
    Json home =
        fake.app->claude_update_event(Json::parse(R"({"url": "https://p/work/standup.ics", "calendar": "HOME"})"));
    EXPECT_EQ(home["moved"], true);
    EXPECT_EQ(home["calendar"], "Home");
    EXPECT_EQ(fake.ann_server->calls().back().target, "https://p/work/standup.ics -> https://p/home/");

    // A failed delete at the old place takes the new copy away and is reported.
    fake.ann_server->fail("delete_event", "HTTP 403 forbidden");
    std::int64_t after_moves = fake.refresh_token();
    Json refused = fake.app->claude_update_event(
        Json::parse(R"({"url": "https://p/work/standup.ics", "calendar": "work", "account": "bob"})"));
    EXPECT_EQ(refused, fake.failure("HTTP 403 forbidden"));
    EXPECT_EQ(fake.bob_server->calls().back().operation, "delete_event");
    // Reading the event or writing it back can fail too.
    fake.ann_server->fail("update_event", "HTTP 412 precondition failed");
    EXPECT_EQ(fake.app->claude_update_event(Json::parse(R"({"url": "https://p/work/standup.ics", "summary": "x"})")),
              fake.failure("HTTP 412 precondition failed"));
    fake.ann_server->fail("get_event", "HTTP 404 not found");
    EXPECT_EQ(fake.app->claude_update_event(Json::parse(R"({"url": "https://p/work/standup.ics", "summary": "x"})")),
              fake.failure("HTTP 404 not found"));
    EXPECT_EQ(fake.refresh_token(), after_moves);
}

TEST(CalendarActions, UpdateNamingTheEventsOwnCalendarStaysInItsAccount)
{
    // Bob's event, in Bob's "Work"; Ann, listed first, has a "Work" too. The
    // card shows "Work" on both sides: nothing may move.
    TwoAccounts fake;
    const std::string url = "https://q/work/gym.ics";
    fake.bob_server->put_stored_event(url, Json::parse(R"({"uid": "g-1", "summary": "Gym",
        "start": "2025-10-06T18:00:00", "end": "2025-10-06T19:00:00", "all_day": false, "etag": "\"b\""})"));
    for (const char* payload : { R"({"url": "https://q/work/gym.ics", "calendar": "Work", "summary": "Gym!"})",
                                 R"({"url": "https://q/work/gym.ics", "calendar": " work", "account": "bob"})" }) {
        Json updated = fake.app->claude_update_event(Json::parse(payload));
        EXPECT_FALSE(updated.contains("moved")) << payload << " -> " << updated.dump();
        EXPECT_EQ(updated["url"], url) << payload;
        EXPECT_EQ(fake.bob_server->calls().back().operation, "update_event") << payload;
    }
    EXPECT_EQ(fake.ann_server->calls().size(), 2u);  // sign-in and discovery only

    // Naming Ann's account is asking for her "Work": that is a move.
    Json moved = fake.app->claude_update_event(
        Json::parse(R"({"url": "https://q/work/gym.ics", "calendar": "Work", "account": "ann"})"));
    EXPECT_EQ(moved["moved"], true) << moved.dump();
    EXPECT_EQ(fake.ann_server->calls().back().operation, "import_event");
}

TEST(CalendarActions, DeleteThroughTheBridge)
{
    TwoAccounts fake;
    AppBridge bridge(*fake.app);
    std::int64_t before = fake.refresh_token();

    BridgeReply deleted = bridge.call("claude_delete_event", Json::parse(R"([{"url": "https://q/work/x.ics"}])"));
    ASSERT_EQ(deleted.status, BridgeReply::Status::Ok) << deleted.error;
    EXPECT_EQ(deleted.result, Json::parse(R"({"ok": true, "url": "https://q/work/x.ics"})"));
    EXPECT_EQ(fake.bob_server->calls().back().operation, "delete_event");
    EXPECT_EQ(fake.bob_server->calls().back().etag, "");
    fake.app->claude_delete_event(Json::parse(R"({"url": "https://p/home/y.ics", "etag": "\"7\""})"));
    EXPECT_EQ(fake.ann_server->calls().back().etag, "\"7\"");
    EXPECT_EQ(fake.refresh_token(), before + 2);

    fake.bob_server->fail("delete_event", "HTTP 404 not found");
    EXPECT_EQ(bridge.call("claude_delete_event", Json::parse(R"([{"url": "https://q/work/x.ics"}])")).result,
              fake.failure("HTTP 404 not found"));
    EXPECT_EQ(fake.refresh_token(), before + 2);

    for (const char* method : { "claude_query_events", "claude_create_event", "claude_update_event" })
        EXPECT_TRUE(bridge.has_method(method)) << method;
}
