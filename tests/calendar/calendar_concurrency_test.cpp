#include "support/fake_app.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

using wrenfold::Json;
using wrenfold::testing::calendars;
using wrenfold::testing::FakeApp;

// Eight threads of mixed calls for a few seconds: queries, edits, polls,
// visibility changes, refreshes and accounts coming and going. Run under
// ThreadSanitizer this finds any unguarded shared state; here it checks that
// the tokens only grow and that the stores stay whole.
TEST(CalendarConcurrency, MixedCallsFromEightThreads)
{
    FakeApp fake;
    std::string ann = fake.add("ann@example.com", calendars("https://p", 4));
    std::string bob = fake.add("bob@example.com", calendars("https://q", 3));
    fake.engines.engine("ann@example.com")->put_events("https://p/a/", Json::parse(R"([{"summary": "a"}])"));
    fake.engines.engine("bob@example.com")->fail_calendar("https://q/b/");
    Json fields = Json::parse(R"({"uid": "e", "summary": "s"})");

    std::atomic<bool> running { true };
    std::atomic<int> failures { 0 };
    auto check = [&](bool ok) {
        if (!ok)
            ++failures;
    };
    auto worker = [&](int kind) {
        std::int64_t last_refresh = 0, last_calendars = 0, last_seq = 0;
        for (int round = 0; running; ++round) {
            switch (kind) {
            case 0:
            case 1: {
                Json result = fake.app->get_events("2025-01-01", "2025-02-01", round % 2 == 0);
                check(result["ok"] == true && result["events"].size() >= 1);
                break;
            }
            case 2: {
                Json state = fake.app->get_runtime_state();
                std::int64_t refresh = state["refresh_token"], tokens = state["calendars_token"], seq = state["seq"];
                check(refresh >= last_refresh && tokens >= last_calendars && seq > last_seq && refresh >= tokens);
                last_refresh = refresh, last_calendars = tokens, last_seq = seq;
                break;
            }
            case 3:
                fake.app->create_event(ann, "https://p/a/", fields);
                fake.app->update_event(bob, "https://q/a/e.ics", "x", fields);
                fake.app->move_event(ann, "https://p/a/e.ics", "x", bob, "https://q/a/", fields);
                fake.app->delete_event(bob, "https://q/a/e.ics");
                break;
            case 4:
                fake.app->set_calendar_visible(ann, "https://p/b/", round % 2);
                fake.app->set_default_calendar(round % 2 ? "https://p/a/" : "https://q/a/");
                fake.app->set_view(round % 2 ? "week" : "day");
                break;
            case 5:
                check(fake.app->refresh_calendars(bob)["ok"] == true);
                fake.app->refresh_all_calendars();
                break;
            case 6: {
                fake.engines.engine("carl@example.com")->set_calendars(calendars("https://r", 2));
                Json added = fake.app->add_account("carl@example.com", "pw");
                if (added["ok"] == true)
                    fake.app->remove_account(added["account"]["id"]);
                break;
            }
            default:
                fake.app->list_accounts();
                fake.app->_account_for_url("https://q/a/e.ics");
                fake.app->_engine_for(*fake.app->_account_by_id(ann));
                break;
            }
        }
    };

    std::vector<std::thread> threads;
    for (int kind = 0; kind < 8; ++kind)
        threads.emplace_back(worker, kind);
    std::this_thread::sleep_for(std::chrono::seconds(3));
    running = false;
    for (auto& thread : threads)
        thread.join();

    EXPECT_EQ(failures, 0);
    fake.restart();
    Json accounts = fake.app->list_accounts()["accounts"];
    ASSERT_EQ(accounts.size(), 2u);  // carl came and went whole
    EXPECT_EQ(accounts[1]["calendars"].size(), 3u);
}

namespace {

std::size_t thread_count()
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

}  // namespace

// Queries from several threads at once list their calendars on the
// application's own threads: however many come, the process gains none but
// the callers, and every query still gets every calendar.
TEST(CalendarConcurrency, QueriesShareAFixedSetOfThreads)
{
    FakeApp fake;
    fake.add("ann@example.com", calendars("https://p", 12));
    auto engine = fake.engines.engine("ann@example.com");
    engine->put_events("https://p/a/", Json::parse(R"([{"summary": "a"}])"));
    engine->set_fetch_delay(std::chrono::milliseconds(20));
    ASSERT_EQ(fake.app->get_events("2025-01-01", "2025-02-01", true)["ok"], true);

    constexpr std::size_t kCallers = 4;
    const std::size_t before = thread_count();
    std::atomic<bool> running { true };
    std::atomic<std::size_t> most { 0 };
    std::thread sampler([&] {
        while (running) {
            std::size_t now = thread_count();
            if (now > most)
                most = now;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    std::atomic<int> wrong { 0 };
    std::vector<std::thread> callers;
    for (std::size_t i = 0; i < kCallers; ++i)
        callers.emplace_back([&] {
            for (int round = 0; round < 5; ++round) {
                Json answer = fake.app->get_events("2025-01-01", "2025-02-01", true);
                if (answer["ok"] != true || answer["errors"].size() != 0 || answer["events"].size() < 1)
                    ++wrong;
            }
        });
    for (auto& caller : callers)
        caller.join();
    running = false;
    sampler.join();

    EXPECT_EQ(wrong, 0);
    EXPECT_LE(most.load(), before + 1 + kCallers) << "the sampler and the callers are the only new threads";
    auto listed = engine->calls();
    EXPECT_EQ(
        std::count_if(listed.begin(), listed.end(), [](const auto& call) { return call.operation == "list_events"; }),
        static_cast<long>(12 * (1 + kCallers * 5)))
        << "each query lists each calendar once";
}
