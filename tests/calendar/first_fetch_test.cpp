// The page's fetch of a calendar never synced yet, against servers that do
// not answer or ask to be left alone.
#include "app/wrenfold_app.h"
#include "caldav/curl_transport.h"
#include "caldav/icloud_caldav.h"
#include "support/app_fixture.h"
#include "support/canned_server.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace wrenfold {
namespace {

class FirstFetch : public ::testing::Test {
protected:
    std::unique_ptr<WrenfoldApp> app_for(const std::string& root)
    {
        calendar = root + "cal/";
        folders.store_one_account("a@example.com", "pw", { { calendar, "Work" } });
        AppEnvironment environment = folders.environment();
        environment.make_engine = [root, abort = environment.transfer_abort](const std::string& user,
                                                                             const std::string& password,
                                                                             const std::optional<std::string>& tzid) {
            return std::make_shared<caldav::ICloudCalDAV>(user, password, tzid.value_or("Asia/Taipei"), root,
                                                          std::make_unique<caldav::CurlTransport>(abort));
        };
        return std::make_unique<WrenfoldApp>(platform::QueueMap {}, platform::EventMap {}, std::move(environment));
    }

    // The one error of a query of March, run so that a hang fails the test
    // instead of holding it.
    static std::string march_error(WrenfoldApp& app)
    {
        auto answer = std::async(std::launch::async, [&] { return app.get_events("2025-03-01", "2025-04-01", true); });
        if (answer.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
            ADD_FAILURE() << "get_events is held by the server";
            std::_Exit(1);
        }
        Json errors = answer.get()["errors"];
        return errors.size() == 1 ? errors[0]["error"].get<std::string>() : errors.dump();
    }

    testing::AppFolders folders;
    std::string calendar;
};

TEST_F(FirstFetch, ASilentServerIsShownAsNotRespondingInsteadOfHoldingTheQuery)
{
    testing::SilentServer server;
    auto app = app_for(server.root());
    EXPECT_EQ(march_error(*app), app->_t("err.calendar.not_responding"));
    // The sync began a moment after the fetch started waiting, so its own
    // clock may pass the same deadline a moment later.
    auto state = [&] { return app->get_runtime_state()["calendar_states"][calendar].value("state", ""); };
    for (int i = 0; i < 100 && state() == "syncing"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(state(), "not_responding");
}

TEST_F(FirstFetch, AFetchWaitingForAServerIsLetGoWhenThePageAsksForANewerRange)
{
    testing::SilentServer server;
    auto app = app_for(server.root());
    auto march = std::async(std::launch::async, [&] { return app->get_events("2025-03-01", "2025-04-01", true); });
    // The calendar's first sync is under way once March waits for it.
    auto state = [&] {
        Json states = app->get_runtime_state()["calendar_states"];
        return states.contains(calendar) ? states[calendar].value("state", "") : "";
    };
    while (state() != "syncing")
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    auto april = std::async(std::launch::async, [&] { return app->get_events("2025-04-01", "2025-05-01", true); });

    ASSERT_EQ(march.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    Json dropped = march.get();
    EXPECT_EQ(dropped["superseded"], true);
    EXPECT_EQ(dropped["errors"], Json::array()) << "being let go says nothing of the calendar";
    ASSERT_EQ(april.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    Json newest = april.get();
    EXPECT_EQ(newest["superseded"], false);
    ASSERT_EQ(newest["errors"].size(), 1U);
    EXPECT_EQ(newest["errors"][0]["error"], app->_t("err.calendar.not_responding"));
}

TEST_F(FirstFetch, AServerThatAsksToWaitIsNotAskedAgainBeforeItsRetryAfter)
{
    testing::CannedServer server([](const std::string&) {
        return std::string("HTTP/1.1 503 Service Unavailable\r\nRetry-After: 120\r\nContent-Length: 0\r\n"
                           "Connection: close\r\n\r\n");
    });
    auto app = app_for(server.root());
    EXPECT_EQ(march_error(*app), "the server is busy (HTTP 503)");
    int asked = server.requests();
    EXPECT_GE(asked, 1);
    EXPECT_EQ(march_error(*app), "the server is busy (HTTP 503)") << "the calendar keeps its error";
    EXPECT_EQ(server.requests(), asked) << "a refetch within the server's Retry-After asked it again";
}

}  // namespace
}  // namespace wrenfold
