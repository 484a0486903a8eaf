// The consumer thread beside bridge threads, and two shutdowns at once.
#include "support/app_fixture.h"
#include "support/fake_engine.h"

#include <gtest/gtest.h>

#include <thread>

using namespace std::chrono_literals;
using namespace wrenfold;

TEST(QueueConsumerConcurrency, ReportsBridgeCallsAndTwoShutdownsDoNotRace)
{
    wrenfold::testing::AppFolders folders;
    wrenfold::testing::FakeEngines engines;
    engines.engine("a@example.com")->set_calendars(Json::array({ { { "url", "https://a/1/" }, { "name", "One" } } }));
    auto receipt = std::make_shared<platform::LocalQueue>();
    auto end_event = std::make_shared<platform::LocalEvent>();
    AppEnvironment environment = folders.environment();
    environment.make_engine = engines.factory();
    WrenfoldApp app({ { "get_receipt", receipt } }, { { "end", end_event } }, environment);
    std::string id = app.add_account("a@example.com", "pw")["account"]["id"];
    app._start_poll_queue();

    std::thread reporter([&] {
        for (int i = 0; i < 200; ++i) {
            receipt->put_nowait({ { "type", "calendars_changed" }, { "urls", { "https://a/1/" } } });
            if (i % 20 == 0)
                receipt->put_nowait({ { "type", "calendars_changed" }, { "list_changed_accounts", { id } } });
            if (i % 7 == 0)
                receipt->put_nowait({ { "type", "sync_error" }, { "account_id", id } });
        }
    });
    std::thread page([&] {
        for (int i = 0; i < 200; ++i) {
            app.get_runtime_state();
            app.set_calendar_visible(id, "https://a/1/", i % 2);
        }
    });
    reporter.join();
    page.join();
    std::this_thread::sleep_for(200ms);

    std::thread tray([&] { app._shutdown(); });
    app._shutdown();
    tray.join();
    app._join_poll_queue();
    EXPECT_TRUE(end_event->is_set());
    EXPECT_GT(app.get_runtime_state()["refresh_token"].get<int>(), 1);
}
