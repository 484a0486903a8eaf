// The application's side of the sync worker: its reports turned into sync
// statuses and refreshes, and the end signals given at shutdown.
#include "support/app_fixture.h"
#include "support/fake_engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace std::chrono_literals;
using namespace wrenfold;
using wrenfold::testing::AppFolders;
using wrenfold::testing::FakeEngines;

namespace {

// A queue that only counts how often it was read.
class CountingQueue final : public platform::MessageQueue {
public:
    std::optional<Json> get(std::chrono::milliseconds timeout) override
    {
        ++reads;
        std::this_thread::sleep_for(timeout);
        return std::nullopt;
    }
    void put_nowait(Json) override { }
    std::atomic<int> reads { 0 };
};

Json calendar_list(const std::string& prefix, int count)
{
    Json list = Json::array();
    for (int i = 0; i < count; ++i)
        list.push_back(
            Json::object({ { "url", prefix + std::to_string(i) + "/" }, { "name", "C" + std::to_string(i) } }));
    return list;
}

class QueueConsumerTest : public ::testing::Test {
protected:
    void SetUp() override { start_app(); }

    void start_app(platform::QueueMap queues = {}, platform::EventMap events = {})
    {
        app.reset();
        AppEnvironment environment = folders.environment();
        environment.make_engine = engines.factory();
        app = std::make_unique<WrenfoldApp>(std::move(queues), std::move(events), environment);
    }

    std::string add(const std::string& apple_id, const Json& calendars)
    {
        engines.engine(apple_id)->set_calendars(calendars);
        Json added = app->add_account(apple_id, "pw");
        EXPECT_TRUE(added.value("ok", false)) << added.dump();
        return added["account"]["id"];
    }

    std::size_t discoveries(const std::string& apple_id)
    {
        auto ops = engines.engine(apple_id)->operations();
        return static_cast<std::size_t>(std::count(ops.begin(), ops.end(), "discover"));
    }

    // Waits until `condition` holds, for at most `limit`.
    template <typename Condition> bool eventually(Condition condition, std::chrono::milliseconds limit = 5s)
    {
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(10ms);
        }
        return true;
    }

    AppFolders folders;
    FakeEngines engines;
    std::unique_ptr<WrenfoldApp> app;
};

TEST_F(QueueConsumerTest, ChangedCalendarsAreMarkedOkAndRefreshedOnce)
{
    Json before = app->get_runtime_state();
    app->_handle_worker_message({ { "type", "calendars_changed" }, { "urls", { "https://c/1/", "https://c/2/" } } });
    Json after = app->get_runtime_state();
    EXPECT_EQ(after["sync_status"], Json({ { "https://c/1/", "ok" }, { "https://c/2/", "ok" } }));
    EXPECT_EQ(after["refresh_token"], before["refresh_token"].get<int>() + 1);
    EXPECT_EQ(after["calendars_token"], before["calendars_token"]);

    // Members of the wrong shape are taken as far as they make sense.
    app->_handle_worker_message({ { "type", "calendars_changed" },
                                  { "urls", { 7, nullptr, "https://c/3/" } },
                                  { "list_changed_accounts", "x" } });
    app->_handle_worker_message({ { "type", "calendars_changed" }, { "urls", "https://c/4/" } });
    Json last = app->get_runtime_state();
    EXPECT_EQ(last["sync_status"].size(), 3u);
    EXPECT_EQ(last["sync_status"]["https://c/3/"], "ok");
    EXPECT_EQ(last["refresh_token"], after["refresh_token"].get<int>() + 2);
}

TEST_F(QueueConsumerTest, ListedAccountsAreRediscoveredInsteadOfOneBump)
{
    std::string alice = add("alice@example.com", calendar_list("https://a/", 1));
    std::string bob = add("bob@example.com", calendar_list("https://b/", 1));
    engines.engine("bob@example.com")->set_calendars(calendar_list("https://b/", 2));
    Json before = app->get_runtime_state();
    std::size_t alice_before = discoveries("alice@example.com");

    app->_handle_worker_message({ { "type", "calendars_changed" }, { "list_changed_accounts", { bob, 12, alice } } });

    Json after = app->get_runtime_state();
    EXPECT_EQ(after["calendars_token"], before["calendars_token"].get<int>() + 2);
    EXPECT_EQ(after["refresh_token"], before["refresh_token"].get<int>() + 2);
    EXPECT_EQ(discoveries("alice@example.com"), alice_before + 1);
    EXPECT_EQ(app->_account_by_id(bob)->calendars.size(), 2u);
}

TEST_F(QueueConsumerTest, SyncErrorsMarkTheAccountsCalendarsAndStrangeMessagesAreIgnored)
{
    std::string alice = add("alice@example.com", calendar_list("https://a/", 3));
    add("bob@example.com", calendar_list("https://b/", 1));
    Json before = app->get_runtime_state();

    ::testing::internal::CaptureStdout();
    app->_handle_worker_message({ { "type", "sync_error" }, { "account_id", alice }, { "error", "HTTP 503" } });
    app->_handle_worker_message({ { "type", "sync_error" }, { "account_id", "nobody" } });
    app->_handle_worker_message("calendars_changed");
    app->_handle_worker_message({ { "type", "ping" }, { "urls", { "https://b/0/" } } });
    app->_handle_worker_message(nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");

    Json after = app->get_runtime_state();
    EXPECT_EQ(after["sync_status"],
              Json({ { "https://a/0/", "error" }, { "https://a/1/", "error" }, { "https://a/2/", "error" } }));
    EXPECT_EQ(after["refresh_token"], before["refresh_token"]);
    EXPECT_EQ(after["calendars_token"], before["calendars_token"]);
}

TEST_F(QueueConsumerTest, TheConsumerThreadReadsReportsSurvivesErrorsAndEndsAtShutdown)
{
    folders.store_accounts(R"({"accounts": [{"id": "broken", "apple_id": "x@example.com", "app_password": "pw",
                                             "calendars": [{"url": "https://x/0/"}, {"name": "no url"},
                                                           {"url": "https://x/2/"}]}]})");
    auto receipt = std::make_shared<platform::LocalQueue>();
    auto end_queue = std::make_shared<platform::LocalQueue>();
    auto end_event = std::make_shared<platform::LocalEvent>();
    start_app({ { "get_receipt", receipt }, { "end", end_queue } }, { { "end", end_event } });
    app->_start_poll_queue();

    ::testing::internal::CaptureStdout();
    receipt->put_nowait({ { "type", "sync_error" }, { "account_id", "broken" } });
    receipt->put_nowait({ { "type", "calendars_changed" }, { "urls", { "https://c/1/" } } });
    EXPECT_TRUE(eventually([&] { return app->get_runtime_state()["sync_status"].contains("https://c/1/"); }));
    std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(printed.starts_with("[poll_queue] ")) << printed;
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1);
    // The calendars beside the one without an address are still marked.
    Json statuses = app->get_runtime_state()["sync_status"];
    EXPECT_EQ(statuses.value("https://x/0/", ""), "error");
    EXPECT_EQ(statuses.value("https://x/2/", ""), "error");

    app->set_language("zh-Hant");
    std::thread other([&] { app->_shutdown(); });
    app->_shutdown();
    other.join();
    EXPECT_TRUE(end_event->is_set());
    auto end_value = end_queue->get(0ms);
    ASSERT_TRUE(end_value);
    EXPECT_TRUE(end_value->is_null());
    EXPECT_NE(folders.settings_file_text().find("zh-Hant"), std::string::npos);

    auto joined_at = std::chrono::steady_clock::now();
    app->_join_poll_queue();
    EXPECT_LT(std::chrono::steady_clock::now() - joined_at, 1500ms);
}

TEST_F(QueueConsumerTest, WithoutAReceiptQueueTheConsumerOnlyWaits)
{
    auto other_queue = std::make_shared<CountingQueue>();
    start_app({ { "end", other_queue } }, {});
    app->_start_poll_queue();
    std::this_thread::sleep_for(1200ms);
    app->_shutdown();
    app->_join_poll_queue();
    EXPECT_EQ(other_queue->reads, 0);
}

TEST_F(QueueConsumerTest, AFailedSaveAtShutdownStillEndsTheWorker)
{
    auto end_queue = std::make_shared<platform::LocalQueue>();
    auto receipt = std::make_shared<platform::LocalQueue>();
    auto end_event = std::make_shared<platform::LocalEvent>();
    start_app({ { "end", end_queue }, { "get_receipt", receipt } }, { { "end", end_event } });
    // A directory where the settings file belongs: the rename over it fails.
    std::filesystem::remove(folders.data() / "settings.json");
    wrenfold::testing::write_text(folders.data() / "settings.json" / "blocker", "");

    ::testing::internal::CaptureStdout();
    EXPECT_THROW(app->_shutdown(), std::runtime_error);
    EXPECT_TRUE(::testing::internal::GetCapturedStdout().starts_with("save_settings: "));
    EXPECT_TRUE(end_event->is_set());
    EXPECT_TRUE(end_queue->get(0ms));
    EXPECT_TRUE(receipt->get(0ms));
}

}  // namespace
