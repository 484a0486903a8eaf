// The engine against real Radicale and Xandikos servers on loopback.
#include "caldav/curl_transport.h"
#include "caldav/icloud_caldav.h"
#include "support/caldav_server.h"
#include "support/environment.h"
#include "support/json_engine.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace wrenfold::caldav {
namespace {

using std::chrono::day;
using std::chrono::month;
using std::chrono::year;
using std::chrono::year_month_day;
using testing::CalDavServerKind;
using testing::CalDavTestServer;

year_month_day ymd(int y, unsigned m, unsigned d)
{
    return year_month_day { year { y }, month { m }, day { d } };
}

class CalDavServerTest : public ::testing::TestWithParam<CalDavServerKind> {
protected:
    void SetUp() override
    {
        // scripts/setup installs the servers: a missing one is a broken set-up, not a pass.
        ASSERT_TRUE(testing::server_installed(GetParam())) << testing::server_name(GetParam()) << " missing";
        server = std::make_unique<CalDavTestServer>(GetParam());
        engine = make_engine(server->password());
    }
    std::unique_ptr<testing::JsonEngine> make_engine(const std::string& password)
    {
        return std::make_unique<testing::JsonEngine>(std::make_unique<ICloudCalDAV>(
            server->user(), password, "Asia/Taipei", server->root_url(), std::make_unique<CurlTransport>()));
    }
    const Json* find(const Json& list, const std::string& key, const std::string& value)
    {
        for (const auto& item : list)
            if (item.value(key, "") == value)
                return &item;
        return nullptr;
    }
    std::unique_ptr<CalDavTestServer> server;
    std::unique_ptr<testing::JsonEngine> engine;
};

TEST_P(CalDavServerTest, DiscoversEventCalendarsOnly)
{
    std::string work = server->create_calendar("work", "Work 工作", { "VEVENT" }, "#FF8800FF");
    server->create_calendar("tasks", "Tasks", { "VTODO" });
    std::string shared = server->create_calendar("shared", "Shared", { "VEVENT", "VTODO" });
    bool read_only = server->make_read_only("shared");

    EXPECT_TRUE(engine->check_auth().accepted);
    Json calendars = engine->discover();
    const Json* found = find(calendars, "url", work);
    ASSERT_NE(found, nullptr) << calendars.dump();
    EXPECT_EQ((*found)["name"], "Work 工作");
    EXPECT_EQ((*found)["color"], "#FF8800");
    EXPECT_EQ((*found)["read_only"], false);
    if (server->supports_component_sets()) {
        EXPECT_EQ(find(calendars, "name", "Tasks"), nullptr);
    }
    const Json* shared_record = find(calendars, "url", shared);
    ASSERT_NE(shared_record, nullptr);
    EXPECT_EQ((*shared_record)["read_only"], read_only);
    EXPECT_EQ(work.find("alice%40example.com"), server->root_url().size()) << work;
}

TEST_P(CalDavServerTest, CreateListGetUpdateMoveDelete)
{
    std::string work = server->create_calendar("work", "Work");
    std::string home = server->create_calendar("home", "Home");
    Json created = engine->create_event(work,
                                        { { "summary", "會議 ☕" },
                                          { "start", "2025-03-10T09:00:00" },
                                          { "end", "2025-03-10T10:30:00" },
                                          { "location", "台北" } });
    ASSERT_EQ(created["ok"], true);
    std::string url = created["url"];
    EXPECT_EQ(url.rfind(work, 0), 0u);
    EXPECT_FALSE(created["etag"].get<std::string>().empty());

    Json events = engine->list_events(work, ymd(2025, 3, 10), ymd(2025, 3, 11));
    ASSERT_EQ(events.size(), 1u) << events.dump();
    EXPECT_EQ(events[0]["summary"], "會議 ☕");
    EXPECT_EQ(events[0]["start"], "2025-03-10T09:00:00");
    EXPECT_EQ(events[0]["end"], "2025-03-10T10:30:00");
    EXPECT_EQ(events[0]["url"], url);
    EXPECT_EQ(events[0]["recurring"], false);
    EXPECT_TRUE(engine->list_events(work, ymd(2025, 3, 11), ymd(2025, 3, 12)).empty());

    Json updated = engine->update_event(url, events[0]["etag"], { { "summary", "Review" } });
    Json stored = engine->get_event(url);
    EXPECT_EQ(stored["summary"], "Review");
    EXPECT_EQ(stored["location"], "台北");
    EXPECT_EQ(stored["start"], "2025-03-10T09:00:00");
    EXPECT_EQ(stored["etag"], updated["etag"]);

    Json moved =
        engine->move_event(url, home, { { "uid", created["uid"] }, { "start", "2025-03-11" } }, updated["etag"]);
    EXPECT_EQ(moved["url"].get<std::string>().rfind(home, 0), 0u);
    EXPECT_TRUE(engine->list_events(work, ymd(2025, 3, 1), ymd(2025, 4, 1)).empty());
    Json in_home = engine->list_events(home, ymd(2025, 3, 1), ymd(2025, 4, 1));
    ASSERT_EQ(in_home.size(), 1u);
    EXPECT_EQ(in_home[0]["uid"], created["uid"]);
    EXPECT_EQ(in_home[0]["all_day"], true);
    EXPECT_EQ(in_home[0]["start"], "2025-03-11");
    EXPECT_EQ(in_home[0]["end"], "2025-03-12");

    EXPECT_EQ(engine->delete_event(moved["url"], moved["etag"].get<std::string>())["ok"], true);
    EXPECT_EQ(engine->delete_event(moved["url"], std::nullopt)["ok"], true);  // already gone
    EXPECT_TRUE(engine->list_events(home, ymd(2025, 3, 1), ymd(2025, 4, 1)).empty());
}

TEST_P(CalDavServerTest, ExpandsSeriesWithExceptionAndOverride)
{
    std::string work = server->create_calendar("work", "Work");
    std::string ics =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n"
        "BEGIN:VEVENT\r\nUID:weekly-1\r\nDTSTAMP:20250101T000000Z\r\n"
        "DTSTART;TZID=Asia/Taipei:20250303T090000\r\nDTEND;TZID=Asia/Taipei:20250303T100000\r\n"
        "RRULE:FREQ=WEEKLY;COUNT=5\r\nEXDATE;TZID=Asia/Taipei:20250310T090000\r\nSUMMARY:Standup\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:weekly-1\r\nDTSTAMP:20250101T000000Z\r\nRECURRENCE-ID:20250317T010000Z\r\n"
        "DTSTART:20250317T060000Z\r\nDTEND:20250317T070000Z\r\nSUMMARY:Standup (moved)\r\nEND:VEVENT\r\n"
        "END:VCALENDAR\r\n";
    ASSERT_EQ(server->put_resource(work + "weekly-1.ics", ics) / 100, 2);
    Json events = engine->list_events(work, ymd(2025, 3, 1), ymd(2025, 4, 1));
    std::vector<std::string> starts;
    for (const auto& e : events)
        starts.push_back(e["start"]);
    std::sort(starts.begin(), starts.end());
    EXPECT_EQ(starts,
              (std::vector<std::string> { "2025-03-03T09:00:00", "2025-03-17T14:00:00", "2025-03-24T09:00:00",
                                          "2025-03-31T09:00:00" }));
    const Json* moved = find(events, "summary", "Standup (moved)");
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ((*moved)["recurrence_id"], "2025-03-17T09:00:00");
    EXPECT_EQ((*moved)["recurring"], true);
    EXPECT_EQ((*moved)["rrule"], "FREQ=WEEKLY;COUNT=5");

    // Moving one occurrence by an hour for the whole series moves every occurrence by that hour: the
    // series, its exception, and its override (id and time).
    const Json* first = find(events, "start", "2025-03-24T09:00:00");
    ASSERT_NE(first, nullptr);
    engine->update_event((*first)["url"], (*first)["etag"],
                         { { "recurrence_id", (*first)["recurrence_id"] },
                           { "scope", "all" },
                           { "start", "2025-03-24T10:00:00" },
                           { "end", "2025-03-24T11:00:00" } });
    Json after = engine->list_events(work, ymd(2025, 3, 1), ymd(2025, 4, 1));
    starts.clear();
    for (const auto& e : after)
        starts.push_back(e["start"]);
    std::sort(starts.begin(), starts.end());
    EXPECT_EQ(starts,
              (std::vector<std::string> { "2025-03-03T10:00:00", "2025-03-17T15:00:00", "2025-03-24T10:00:00",
                                          "2025-03-31T10:00:00" }));
    EXPECT_EQ(engine->get_event(work + "weekly-1.ics")["rrule"], "FREQ=WEEKLY;COUNT=5");
}

TEST_P(CalDavServerTest, UpdateKeepsAlarmsAttendeesAndUnknownProperties)
{
    std::string work = server->create_calendar("work", "Work");
    std::string ics = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n"
                      "BEGIN:VEVENT\r\nUID:keep-1\r\nDTSTAMP:20250101T000000Z\r\nSEQUENCE:3\r\n"
                      "DTSTART:20250305T010000Z\r\nDTEND:20250305T020000Z\r\nSUMMARY:Planning\r\n"
                      "ORGANIZER:mailto:boss@example.com\r\nATTENDEE;CN=Bob:mailto:bob@example.com\r\n"
                      "CATEGORIES:Work\r\nX-WRENFOLD-TEST:kept\r\n"
                      "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:Reminder\r\nTRIGGER:-PT15M\r\nEND:VALARM\r\n"
                      "END:VEVENT\r\nEND:VCALENDAR\r\n";
    ASSERT_EQ(server->put_resource(work + "keep-1.ics", ics) / 100, 2);
    Json before = engine->get_event(work + "keep-1.ics");
    Json result = engine->update_event(work + "keep-1.ics", before["etag"], { { "summary", "Planning 2" } });
    EXPECT_EQ(result["ok"], true);
    std::string stored = server->get_resource(work + "keep-1.ics");
    for (const char* kept : { "BEGIN:VALARM", "TRIGGER:-PT15M", "mailto:bob@example.com", "mailto:boss@example.com",
                              "X-WRENFOLD-TEST:kept", "CATEGORIES:Work", "SEQUENCE:3", "SUMMARY:Planning 2" })
        EXPECT_NE(stored.find(kept), std::string::npos) << kept << "\n" << stored;

    // The ETag read before the update is stale now.
    try {
        engine->update_event(work + "keep-1.ics", before["etag"], { { "summary", "Lost" } });
        FAIL() << "stale ETag accepted";
    } catch (const CalDavError& error) {
        EXPECT_NE(std::string(error.what()).find("changed elsewhere"), std::string::npos) << error.what();
    }
    EXPECT_EQ(engine->get_event(work + "keep-1.ics")["summary"], "Planning 2");
}

TEST_P(CalDavServerTest, RefusesForeignOriginsAndWrongPasswords)
{
    std::string work = server->create_calendar("work", "Work");
    std::string foreign = work;
    foreign.replace(foreign.find("127.0.0.1"), 9, "127.0.0.2");
    EXPECT_THROW(engine->list_events(foreign, ymd(2025, 3, 1), ymd(2025, 4, 1)), CalDavError);
    EXPECT_THROW(engine->delete_event("http://example.com/x.ics", std::nullopt), CalDavError);
    if (GetParam() == CalDavServerKind::Radicale) {  // Xandikos does no authentication
        AuthResult refused = make_engine("wrong")->check_auth();
        EXPECT_FALSE(refused.accepted);
        EXPECT_EQ(refused.status, 401);
    }
}

TEST_P(CalDavServerTest, FactoryFollowsTheServerVariable)
{
    std::string work = server->create_calendar("work", "Work");
    testing::set_environment("WRENFOLD_CALDAV_URL", server->root_url());
    auto from_factory = std::make_unique<testing::JsonEngine>(make_icloud_engine(server->user(), server->password()));
    testing::unset_environment("WRENFOLD_CALDAV_URL");
    Json calendars = from_factory->discover();
    ASSERT_EQ(calendars.size(), 1u) << calendars.dump();
    EXPECT_EQ(calendars[0]["url"], work);
}

INSTANTIATE_TEST_SUITE_P(Servers, CalDavServerTest,
                         ::testing::Values(CalDavServerKind::Radicale, CalDavServerKind::Xandikos),
                         [](const auto& param_info) { return std::string(testing::server_name(param_info.param)); });

}  // namespace
}  // namespace wrenfold::caldav
