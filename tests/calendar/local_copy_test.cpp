// The local copy end to end: the application object with the real engine
// against Radicale, requests counted as they reach the server.
#include "app/wrenfold_app.h"
#include "caldav/curl_transport.h"
#include "caldav/icloud_caldav.h"
#include "support/app_fixture.h"
#include "support/caldav_server.h"
#include "support/counting_transport.h"

#include <gtest/gtest.h>

#include <thread>

namespace wrenfold {
namespace {

using testing::CalDavServerKind;
using testing::CalDavTestServer;
using testing::CountingTransport;

std::string event_ics(const std::string& uid, const std::string& summary, const std::string& day)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nBEGIN:VEVENT\r\nUID:" + uid +
        "\r\nDTSTAMP:20250101T000000Z\r\nDTSTART:2025" + day + "T010000Z\r\nDTEND:2025" + day +
        "T020000Z\r\nSUMMARY:" + summary + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

class LocalCopy : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(testing::server_installed(CalDavServerKind::Radicale)) << "radicale is not installed";
        server = std::make_unique<CalDavTestServer>(CalDavServerKind::Radicale);
        work = server->create_calendar("work", "Work");
        home = server->create_calendar("home", "Home");
        ASSERT_EQ(server->put_resource(work + "w1.ics", event_ics("w1", "standup", "0310")) / 100, 2);
        ASSERT_EQ(server->put_resource(home + "h1.ics", event_ics("h1", "dentist", "0312")) / 100, 2);
        folders.store_one_account(server->user(), server->password(), { { work, "Work" }, { home, "Home" } });
    }

    std::unique_ptr<WrenfoldApp> make_app()
    {
        AppEnvironment environment = folders.environment();
        std::string root = server->root_url();
        auto counted = log;
        environment.make_engine = [root, counted](const std::string& user, const std::string& password,
                                                  const std::optional<std::string>& tzid) {
            return std::make_shared<caldav::ICloudCalDAV>(
                user, password, tzid.value_or("Asia/Taipei"), root,
                std::make_unique<CountingTransport>(std::make_unique<caldav::CurlTransport>(), counted));
        };
        return std::make_unique<WrenfoldApp>(platform::QueueMap {}, platform::EventMap {}, std::move(environment));
    }

    // Summary -> "stale" of every server event of March 2025.
    std::map<std::string, bool> march(WrenfoldApp& app)
    {
        Json answer = app.get_events("2025-03-01", "2025-04-01", true);
        std::map<std::string, bool> found;
        for (const Json& event : answer["events"])
            if (event["calendar_url"] != "local:tw_holidays")
                found[event["summary"]] = event.value("stale", false);
        return found;
    }

    // Waits (without asserting on time) until the refresh token passes `above`.
    static void wait_for_refresh(WrenfoldApp& app, std::int64_t above)
    {
        for (int i = 0; i < 600 && app.get_runtime_state()["refresh_token"].get<std::int64_t>() <= above; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }

    testing::AppFolders folders;
    std::unique_ptr<CalDavTestServer> server;
    std::shared_ptr<CountingTransport::Log> log = std::make_shared<CountingTransport::Log>();
    std::string work;
    std::string home;
};

TEST_F(LocalCopy, PageIsAnsweredFromTheStoreAndOnlyReportedCalendarsAreSynced)
{
    auto app = make_app();
    EXPECT_EQ(march(*app), (std::map<std::string, bool> { { "standup", false }, { "dentist", false } }));
    log->take();
    EXPECT_EQ(march(*app).size(), 2u);
    EXPECT_EQ(log->take(), std::vector<std::string> {}) << "a refetch with nothing changed asks the server nothing";

    ASSERT_EQ(server->put_resource(work + "w1.ics", event_ics("w1", "standup moved", "0311")) / 100, 2);
    std::int64_t before = app->get_runtime_state()["refresh_token"];
    app->_handle_worker_message({ { "type", "calendars_changed" }, { "urls", { work } } });
    wait_for_refresh(*app, before + 1);
    EXPECT_EQ(log->take(), (std::vector<std::string> { "REPORT sync-collection", "REPORT calendar-multiget" }));
    EXPECT_EQ(march(*app), (std::map<std::string, bool> { { "standup moved", false }, { "dentist", false } }));
    EXPECT_EQ(log->take(), std::vector<std::string> {});

    Json created = app->create_event(
        "acc1", home, { { "summary", "lunch" }, { "start", "2025-03-20T12:00:00" }, { "end", "2025-03-20T13:00:00" } });
    ASSERT_EQ(created["ok"], true) << created.dump();
    log->take();
    EXPECT_EQ(march(*app).count("lunch"), 1u) << "the program's own write is in the store at once";
    EXPECT_EQ(log->take(), std::vector<std::string> {});

    // The server gone: the last-known events stay, marked stale, and the
    // calendar says since when it could not be reached.
    server->stop();
    before = app->get_runtime_state()["refresh_token"];
    app->_handle_worker_message({ { "type", "calendars_changed" }, { "urls", { work } } });
    wait_for_refresh(*app, before + 1);
    Json states = app->get_runtime_state()["calendar_states"];
    EXPECT_EQ(states[work]["state"], "unreachable") << states.dump();
    EXPECT_TRUE(states[work]["unreachable_since"].is_string());
    EXPECT_EQ(states[home]["state"], "up_to_date");
    EXPECT_EQ(march(*app),
              (std::map<std::string, bool> { { "standup moved", true }, { "dentist", false }, { "lunch", false } }));
    Json search = app->search_events("STAND", 10);
    ASSERT_EQ(search["events"].size(), 1u);
    EXPECT_EQ(search["events"][0]["calendar_url"], work);
}

TEST_F(LocalCopy, ADamagedStoreIsSetAsideAndFilledAgainFromTheServer)
{
    make_app()->get_events("2025-03-01", "2025-04-01", true);
    auto file = folders.data() / "events.sqlite3";
    for (const char* suffix : { "-wal", "-shm" })
        std::filesystem::remove(file.string() + suffix);
    testing::write_text(file, "not a database any more");
    auto app = make_app();
    EXPECT_EQ(march(*app).size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(file.string() + ".unreadable"));
}

TEST_F(LocalCopy, AtStartCalendarsAreSyncedAfterTheFirstAnswerAndTheSameFailureAgainRaisesNothing)
{
    march(*make_app());
    server->stop();
    {
        auto offline = make_app();
        offline->sync_now();
    }
    auto app = make_app();
    log->take();
    app->_sync_all_after_first_answer();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(log->take(), std::vector<std::string> {}) << "the start's syncs wait for the page's first answer";
    EXPECT_EQ(march(*app), (std::map<std::string, bool> { { "standup", true }, { "dentist", true } }));

    // Both calendars are tried once the answer is out.
    std::vector<std::string> asked;
    for (int i = 0; i < 600 && asked.size() < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        for (std::string& request : log->take())
            asked.push_back(std::move(request));
    }
    ASSERT_GE(asked.size(), 2u);
    auto still_syncing = [&] {
        for (const auto& [url, state] : app->get_runtime_state()["calendar_states"].items())
            if (state["state"] != "unreachable")
                return true;
        return false;
    };
    for (int i = 0; i < 600 && still_syncing(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(still_syncing());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // a token raised after the sync would show
    EXPECT_EQ(app->get_runtime_state()["refresh_token"], 0) << "an unchanged failure makes the page refetch nothing";
}

TEST_F(LocalCopy, RemovingAnAccountForgetsItsCalendars)
{
    auto app = make_app();
    march(*app);
    app->remove_account("acc1");
    log->take();
    EXPECT_TRUE(app->get_runtime_state()["calendar_states"].empty());
    EXPECT_TRUE(app->search_events("dentist", 10)["events"].empty());
}

}  // namespace
}  // namespace wrenfold
