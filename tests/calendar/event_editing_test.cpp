#include "support/fake_app.h"

#include <gtest/gtest.h>

using wrenfold::Json;
using wrenfold::testing::calendars;
using wrenfold::testing::FakeApp;

namespace {

struct TwoAccounts : FakeApp {
    std::string ann = add("ann@example.com", calendars("https://p", 2));
    std::string bob = add("bob@example.com", calendars("https://q", 1));
    std::shared_ptr<wrenfold::testing::FakeEngine> ann_server = engines.engine("ann@example.com");
    std::shared_ptr<wrenfold::testing::FakeEngine> bob_server = engines.engine("bob@example.com");
    Json fields = Json::parse(R"({"uid": "e1", "summary": "Tea", "start": "2025-05-01T10:00:00", "custom": [1]})");

    std::int64_t refresh_token() { return state()["refresh_token"]; }
    Json move_to_bob() { return app->move_event(ann, "https://p/a/e1.ics", "\"old\"", bob, "https://q/a/", fields); }
};

}  // namespace

TEST(EventEditing, SuccessRaisesTheTokenOnceAndAnswersTheEnginesResult)
{
    TwoAccounts fake;
    std::int64_t before = fake.refresh_token();
    Json created = fake.app->create_event(fake.ann, "https://p/a/", fake.fields);
    EXPECT_EQ(created, Json::parse(R"({"ok": true, "url": "https://p/a/e1.ics", "etag": "\"created-1\""})"));
    EXPECT_EQ(fake.ann_server->created_fields(), fake.fields);  // handed on unchanged
    Json updated = fake.app->update_event(fake.ann, "https://p/a/e1.ics", "\"created-1\"", fake.fields);
    EXPECT_EQ(updated, Json::parse(R"({"ok": true, "url": "https://p/a/e1.ics", "etag": "\"updated\""})"));
    EXPECT_EQ(fake.ann_server->updated_fields(), fake.fields);
    fake.app->delete_event(fake.ann, "https://p/a/e1.ics");
    fake.app->delete_event(fake.ann, "https://p/a/e1.ics", "\"e\"");
    EXPECT_EQ(fake.refresh_token(), before + 4);

    auto calls = fake.ann_server->calls();
    EXPECT_EQ(calls[calls.size() - 2].etag, std::nullopt);
    EXPECT_EQ(calls.back().etag, "\"e\"");
}

TEST(EventEditing, FailuresAnswerAFailureObjectAndLeaveTheTokenAlone)
{
    TwoAccounts fake;
    std::int64_t before = fake.refresh_token();
    Json not_found = Json::parse(R"({"ok": false, "error": "account not found"})");
    EXPECT_EQ(fake.app->create_event("gone", "https://p/a/", fake.fields), not_found);
    EXPECT_EQ(fake.app->move_event(fake.ann, "https://p/a/e1.ics", "", "gone", "https://q/a/", fake.fields), not_found);
    EXPECT_EQ(fake.app->move_event("gone", "https://p/a/e1.ics", "", fake.bob, "https://q/a/", fake.fields), not_found);
    EXPECT_TRUE(fake.ann_server->operations() == (std::vector<std::string> { "check_auth", "discover" }));

    fake.ann_server->fail("update_event", "HTTP 412: the event was changed elsewhere");
    EXPECT_EQ(fake.app->update_event(fake.ann, "https://p/a/e1.ics", "\"stale\"", fake.fields),
              Json::parse(R"({"ok": false, "error": "HTTP 412: the event was changed elsewhere"})"));
    fake.ann_server->fail("delete_event", "HTTP 404");
    EXPECT_EQ(fake.app->delete_event(fake.ann, "https://p/a/e1.ics")["error"], "HTTP 404");
    EXPECT_EQ(fake.refresh_token(), before);
}

TEST(EventEditing, AMoveWithinOneAccountIsTheEnginesOwn)
{
    TwoAccounts fake;
    Json moved = fake.app->move_event(fake.ann, "https://p/a/e1.ics", "\"old\"", fake.ann, "https://p/b/", fake.fields);
    EXPECT_EQ(moved["url"], "https://p/b/moved.ics");
    auto calls = fake.ann_server->calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[2].operation, "move_event");
    EXPECT_EQ(calls[2].etag, "\"old\"");
}

TEST(EventEditing, ACrossAccountMoveCreatesThenDeletesAndRollsBack)
{
    TwoAccounts fake;
    std::int64_t before = fake.refresh_token();

    // Success: the stored object is written into the new calendar, then deleted from the old one.
    Json moved = fake.move_to_bob();
    EXPECT_EQ(moved["url"], "https://q/a/e1.ics");
    EXPECT_EQ(fake.bob_server->created_fields()["uid"], "e1");
    EXPECT_EQ(fake.bob_server->imported_objects(), std::vector<std::string> { "stored https://p/a/e1.ics" });
    EXPECT_EQ(fake.ann_server->calls().back().operation, "delete_event");
    EXPECT_EQ(fake.ann_server->calls().back().etag, "\"old\"");
    EXPECT_EQ(fake.refresh_token(), before + 1);

    // The create fails: nothing is deleted anywhere.
    fake.bob_server->fail("import_event", "HTTP 507");
    std::size_t ann_calls = fake.ann_server->calls().size();
    EXPECT_EQ(fake.move_to_bob()["error"], "HTTP 507");
    EXPECT_EQ(fake.ann_server->calls().size(), ann_calls + 1);
    EXPECT_EQ(fake.ann_server->calls().back().operation, "export_event");
    fake.bob_server->heal("import_event");

    // The old delete fails: the new copy is deleted again; the delete's error is told.
    fake.ann_server->fail("delete_event", "HTTP 403 on delete");
    EXPECT_EQ(fake.move_to_bob(), Json::parse(R"({"ok": false, "error": "HTTP 403 on delete"})"));
    auto bob_calls = fake.bob_server->calls();
    EXPECT_EQ(bob_calls.back().operation, "delete_event");
    EXPECT_EQ(bob_calls.back().target, "https://q/a/e1.ics");
    EXPECT_EQ(bob_calls.back().etag, "\"created-1\"");

    // Even the rollback fails: still the delete's error.
    fake.bob_server->fail("delete_event", "HTTP 500 on rollback");
    EXPECT_EQ(fake.move_to_bob()["error"], "HTTP 403 on delete");
    EXPECT_EQ(fake.refresh_token(), before + 1);

    // _move_event itself throws what failed.
    EXPECT_THROW(fake.app->_move_event(*fake.app->_account_by_id(fake.ann), "https://p/a/e1.ics", "",
                                       *fake.app->_account_by_id(fake.bob), "https://q/a/", fake.fields),
                 wrenfold::caldav::CalDavError);
}

TEST(EventEditing, ACrossAccountMoveKeepsTheNewCopyWhenTheOldEventIsGone)
{
    // The old delete went through but its answer was lost: the new copy is
    // all that is left of the event, and stays.
    TwoAccounts fake;
    fake.ann_server->lose_delete_answers();
    EXPECT_EQ(fake.move_to_bob()["error"], "network error: timed out");
    auto bob_calls = fake.bob_server->calls();
    ASSERT_FALSE(bob_calls.empty());
    EXPECT_EQ(bob_calls.back().operation, "import_event");
}

TEST(EventEditing, OnlyEventsInsideTheAccountsOwnCalendarsAreEdited)
{
    TwoAccounts fake;
    std::int64_t before = fake.refresh_token();
    std::size_t ann_calls = fake.ann_server->calls().size();
    std::size_t bob_calls = fake.bob_server->calls().size();
    // A calendar, the home, a path through dots, a nested path, another account's event.
    for (const std::string url : { "https://p/a/", "https://p/", "https://p/a/../b/", "https://p/a/%2E%2E/x.ics",
                                   "https://p/a/sub/x.ics", "https://q/a/e1.ics", "https://p/a/x.ics?x=1" }) {
        Json deleted = fake.app->delete_event(fake.ann, url);
        EXPECT_EQ(deleted["ok"], false) << url;
        EXPECT_NE(deleted["error"].get<std::string>().find("not the address of an event"), std::string::npos) << url;
        EXPECT_EQ(fake.app->update_event(fake.ann, url, "", fake.fields)["ok"], false) << url;
        EXPECT_EQ(fake.app->move_event(fake.ann, url, "", fake.bob, "https://q/a/", fake.fields)["ok"], false) << url;
    }
    // A move into something that is not one of the new account's calendars.
    EXPECT_EQ(fake.app->move_event(fake.ann, "https://p/a/e1.ics", "", fake.bob, "https://q/", fake.fields)["ok"],
              false);
    EXPECT_EQ(fake.app->move_event(fake.ann, "https://p/a/e1.ics", "", fake.ann, "https://q/a/", fake.fields)["ok"],
              false);
    EXPECT_EQ(fake.ann_server->calls().size(), ann_calls);
    EXPECT_EQ(fake.bob_server->calls().size(), bob_calls);
    EXPECT_EQ(fake.refresh_token(), before);

    // One occurrence of a series: the engine's own occurrence delete, with the etag.
    Json gone = fake.app->delete_event(fake.ann, "https://p/a/e1.ics", "\"e\"", "2025-05-08T10:00:00");
    EXPECT_EQ(gone["etag"], "\"occurrence-gone\"");
    EXPECT_EQ(fake.ann_server->calls().back().operation, "delete_occurrence");
    EXPECT_EQ(fake.ann_server->calls().back().target, "https://p/a/e1.ics @ 2025-05-08T10:00:00");
    EXPECT_EQ(fake.ann_server->calls().back().etag, "\"e\"");
    EXPECT_EQ(fake.refresh_token(), before + 1);
}

TEST(EventEditing, ADeletesScopeChoosesHowMuchOfTheSeriesGoes)
{
    TwoAccounts fake;
    const std::pair<const char*, const char*> scopes[] = { { "", "delete_occurrence" },
                                                           { "this", "delete_occurrence" },
                                                           { "future", "delete_following" },
                                                           { "all", "delete_event" } };
    for (const auto& [scope, operation] : scopes) {
        Json answer = fake.app->delete_event(fake.ann, "https://p/a/e1.ics", "\"e\"", "2025-05-08T10:00:00", scope);
        EXPECT_NE(answer["ok"], false) << scope;
        EXPECT_EQ(fake.ann_server->calls().back().operation, operation) << scope;
        EXPECT_EQ(fake.ann_server->calls().back().etag, "\"e\"") << scope;
    }
    EXPECT_THROW(fake.app->delete_event(fake.ann, "https://p/a/e1.ics", "\"e\"", "2025-05-08T10:00:00", "some"),
                 wrenfold::BridgeArgumentError);
}

TEST(EventEditing, TheAssistantAddressesOneOccurrenceWithoutTouchingTheSeriesTimes)
{
    TwoAccounts fake;
    fake.ann_server->put_stored_event("https://p/a/e1.ics",
                                      Json::parse(R"({"uid": "e1", "summary": "Tea", "start": "2025-05-01T10:00:00",
                                          "end": "2025-05-01T11:00:00", "all_day": false, "rrule": "FREQ=WEEKLY",
                                          "etag": "\"s\""})"));
    // A rename of one occurrence: the series' first start must not travel with it.
    Json renamed = fake.app->claude_update_event(Json::parse(R"({"url": "https://p/a/e1.ics", "summary": "Chai",
        "recurrence_id": "2025-05-08T10:00:00", "scope": "this"})"));
    ASSERT_EQ(renamed["ok"], true) << renamed.dump();
    Json sent = fake.ann_server->updated_fields();
    EXPECT_EQ(sent["recurrence_id"], "2025-05-08T10:00:00");
    EXPECT_EQ(sent["scope"], "this");
    EXPECT_EQ(sent["summary"], "Chai");
    EXPECT_FALSE(sent.contains("start") || sent.contains("end") || sent.contains("all_day")) << sent.dump();

    // A move of it names its new times, which go along; without an occurrence the stored times go as read.
    fake.app->claude_update_event(Json::parse(R"({"url": "https://p/a/e1.ics", "recurrence_id": "2025-05-08T10:00:00",
        "start": "2025-05-09T10:00:00"})"));
    EXPECT_EQ(fake.ann_server->updated_fields()["start"], "2025-05-09T10:00:00");
    EXPECT_FALSE(fake.ann_server->updated_fields().contains("end"));
    fake.app->claude_update_event(Json::parse(R"({"url": "https://p/a/e1.ics", "summary": "Chai"})"));
    EXPECT_EQ(fake.ann_server->updated_fields()["start"], "2025-05-01T10:00:00");
    EXPECT_FALSE(fake.ann_server->updated_fields().contains("recurrence_id"));

    // Deleting one occurrence deletes only that one.
    Json gone = fake.app->claude_delete_event(Json::parse(R"({"url": "https://p/a/e1.ics",
        "recurrence_id": "2025-05-15T10:00:00"})"));
    EXPECT_EQ(gone["ok"], true);
    EXPECT_EQ(fake.ann_server->calls().back().operation, "delete_occurrence");
    EXPECT_EQ(fake.ann_server->calls().back().target, "https://p/a/e1.ics @ 2025-05-15T10:00:00");
}
