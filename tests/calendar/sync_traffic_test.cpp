// What the local copy asks of real servers, counted where the requests
// arrive: a proxy in front of Radicale or Xandikos.
#include "app/wrenfold_app.h"
#include "caldav/curl_transport.h"
#include "caldav/icloud_caldav.h"
#include "support/app_fixture.h"
#include "support/caldav_server.h"
#include "support/counting_proxy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace wrenfold {
namespace {

using testing::CalDavServerKind;
using testing::CalDavTestServer;
using testing::CountingProxy;
using Lines = std::vector<std::string>;

std::string event_ics(const std::string& uid, const std::string& summary, const std::string& day)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nBEGIN:VEVENT\r\nUID:" + uid +
        "\r\nDTSTAMP:20250101T000000Z\r\nDTSTART:2025" + day + "T010000Z\r\nDTEND:2025" + day +
        "T020000Z\r\nSUMMARY:" + summary + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

std::string path_of(const std::string& url)
{
    return url.substr(url.find('/', std::string("http://").size()));
}

class SyncTraffic : public ::testing::TestWithParam<CalDavServerKind> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(testing::server_installed(GetParam())) << testing::server_name(GetParam()) << " is not installed";
        server = std::make_unique<CalDavTestServer>(GetParam());
        work = server->create_calendar("work", "Work");
        home = server->create_calendar("home", "Home");
        ASSERT_EQ(server->put_resource(work + "w1.ics", event_ics("w1", "standup", "0310")) / 100, 2);
        ASSERT_EQ(server->put_resource(home + "h1.ics", event_ics("h1", "dentist", "0312")) / 100, 2);
        proxy = std::make_unique<CountingProxy>(server->port());
        // The app reaches the calendars through the proxy.
        work = proxy->root_url() + path_of(work).substr(1);
        home = proxy->root_url() + path_of(home).substr(1);
        folders.store_one_account(server->user(), server->password(), { { work, "Work" }, { home, "Home" } });
        AppEnvironment environment = folders.environment();
        environment.make_engine = [root = proxy->root_url()](const std::string& user, const std::string& password,
                                                             const std::optional<std::string>& tzid) {
            return std::make_shared<caldav::ICloudCalDAV>(user, password, tzid.value_or("Asia/Taipei"), root,
                                                          std::make_unique<caldav::CurlTransport>());
        };
        app = std::make_unique<WrenfoldApp>(platform::QueueMap {}, platform::EventMap {}, std::move(environment));
    }

    std::set<std::string> march()
    {
        Json answer = app->get_events("2025-03-01", "2025-04-01", true);
        std::set<std::string> found;
        for (const Json& event : answer["events"])
            if (event["calendar_url"] != "local:tw_holidays")
                found.insert(event["summary"].get<std::string>());
        return found;
    }

    // What the sync worker reports for calendars another client changed,
    // waited for until the token has risen for the report and for the sync
    // of each calendar.
    void report_changed(const Lines& urls)
    {
        std::int64_t awaited =
            app->get_runtime_state()["refresh_token"].get<std::int64_t>() + 1 + static_cast<std::int64_t>(urls.size());
        app->_handle_worker_message({ { "type", "calendars_changed" }, { "urls", urls } });
        for (int i = 0; i < 600 && app->get_runtime_state()["refresh_token"].get<std::int64_t>() < awaited; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }

    std::string server_url(const std::string& proxied) const { return server->root_url() + path_of(proxied).substr(1); }

    testing::AppFolders folders;
    std::unique_ptr<CalDavTestServer> server;
    std::unique_ptr<CountingProxy> proxy;
    std::unique_ptr<WrenfoldApp> app;
    std::string work;
    std::string home;
};

TEST_P(SyncTraffic, ARefetchAsksNothingAndAChangeTravelsAsOneReportAndOneMultiget)
{
    EXPECT_EQ(march(), (std::set<std::string> { "standup", "dentist" }));
    proxy->take();
    EXPECT_EQ(march().size(), 2u);
    EXPECT_EQ(proxy->take(), Lines {}) << "a refetch with nothing changed reaches the server";

    ASSERT_EQ(server->put_resource(server_url(work) + "w1.ics", event_ics("w1", "standup moved", "0311")) / 100, 2);
    report_changed({ work });
    EXPECT_EQ(proxy->take(),
              (Lines { "REPORT " + path_of(work) + " sync-collection",
                       "REPORT " + path_of(work) + " calendar-multiget w1.ics" }));
    EXPECT_EQ(march(), (std::set<std::string> { "standup moved", "dentist" }));
    EXPECT_EQ(proxy->take(), Lines {});
}

TEST_P(SyncTraffic, AnotherClientsAddsAndDeletesArriveAndARefusedTokenLeadsToAFullResync)
{
    march();
    ASSERT_EQ(server->put_resource(server_url(work) + "w2.ics", event_ics("w2", "review", "0314")) / 100, 2);
    ASSERT_EQ(server->delete_resource(server_url(home) + "h1.ics") / 100, 2);
    report_changed({ work, home });
    EXPECT_EQ(march(), (std::set<std::string> { "standup", "review" }));

    ASSERT_EQ(server->put_resource(server_url(home) + "h2.ics", event_ics("h2", "gym", "0315")) / 100, 2);
    proxy->refuse_next_sync_token();
    proxy->take();
    report_changed({ home });
    Lines asked = proxy->take();
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked[0], "REPORT " + path_of(home) + " sync-collection");
    EXPECT_NE(std::find(asked.begin(), asked.end(), "REPORT " + path_of(home) + " calendar-query"), asked.end())
        << "the refused token leads to a listing of the whole calendar";
    EXPECT_EQ(march(), (std::set<std::string> { "standup", "review", "gym" }));
}

INSTANTIATE_TEST_SUITE_P(Servers, SyncTraffic,
                         ::testing::Values(CalDavServerKind::Radicale, CalDavServerKind::Xandikos),
                         [](const auto& tested) { return std::string(testing::server_name(tested.param)); });

}  // namespace
}  // namespace wrenfold
