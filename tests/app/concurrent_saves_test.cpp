#include "support/app_fixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

using wrenfold::Json;
using wrenfold::testing::AppFolders;
using wrenfold::testing::read_text;

// Eight threads change and save the settings while a reader keeps parsing the
// store: every read must see one whole, valid store, and after the last save
// the file must hold the last state in memory.
TEST(ConcurrentSaves, NeverLeaveATornOrStaleStore)
{
    AppFolders folders;
    auto app = folders.make_app();
    app->_save_settings();

    std::atomic<bool> writing { true };
    std::atomic<int> reads { 0 };
    std::thread reader([&] {
        while (writing) {
#ifdef _WIN32
            // A save waits while the file is open: the reader leaves the
            // writers gaps.
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
#endif
            std::string text;
            {
                std::ifstream file(folders.data() / "settings.json", std::ios::binary);
#ifdef _WIN32
                if (!file)
                    continue;  // Windows refuses an open while the file is being replaced
#endif
                text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
            }
            Json store = Json::parse(text, nullptr, false);
            ASSERT_FALSE(store.is_discarded()) << text;
            ASSERT_TRUE(store.is_object());
            ASSERT_EQ(store["window_w"], 1280);
            ++reads;
        }
    });

    std::vector<std::thread> writers;
    for (int thread = 0; thread < 8; ++thread) {
        writers.emplace_back([&, thread] {
            for (int round = 0; round < 40; ++round) {
                app->put_setting("writer_" + std::to_string(thread), round);
                app->_save_settings();
                app->_save_accounts();
            }
        });
    }
    for (auto& writer : writers)
        writer.join();
    writing = false;
    reader.join();

    EXPECT_GT(reads.load(), 0);
    Json final_store = Json::parse(read_text(folders.data() / "settings.json"));
    EXPECT_EQ(final_store, app->settings_snapshot());
    for (int thread = 0; thread < 8; ++thread)
        EXPECT_EQ(final_store["writer_" + std::to_string(thread)], 39);
}
