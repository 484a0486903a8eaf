// The tray's menu and quit, and the window's close, with stand-ins for the
// desktop's window and tray.
#include "support/app_fixture.h"

#include <gtest/gtest.h>

#include <optional>

using wrenfold::Json;
using wrenfold::platform::AppWindow;
using wrenfold::platform::TrayIcon;
using wrenfold::platform::TrayMenuItem;
using wrenfold::testing::AppFolders;

namespace {

struct FakeWindow final : AppWindow {
    void show() override { ++shown; }
    void hide() override { ++hidden; }
    void destroy() override { ++destroyed; }
    int shown { 0 }, hidden { 0 }, destroyed { 0 };
};

struct FakeTray final : TrayIcon {
    void rebuild_menu() override { ++rebuilt; }
    void stop() override { ++stopped; }
    bool shown() const override { return host_present; }
    int rebuilt { 0 }, stopped { 0 };
    bool host_present { true };
};

class TrayAndWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        end_event = std::make_shared<wrenfold::platform::LocalEvent>();
        end_queue = std::make_shared<wrenfold::platform::LocalQueue>();
        app = std::make_unique<wrenfold::WrenfoldApp>(wrenfold::platform::QueueMap { { "end", end_queue } },
                                                      wrenfold::platform::EventMap { { "end", end_event } },
                                                      folders.environment());
        app->_set_window(window);
        app->_setup_tray(
            [this](std::vector<TrayMenuItem> made) {
                items = std::move(made);
                return tray;
            },
            [this](int status) { exit_status = status; });
    }

    std::vector<std::string> texts() const
    {
        std::vector<std::string> result;
        for (const auto& item : items)
            result.push_back(item.text());
        return result;
    }

    AppFolders folders;
    std::shared_ptr<wrenfold::platform::LocalEvent> end_event;
    std::shared_ptr<wrenfold::platform::LocalQueue> end_queue;
    std::shared_ptr<FakeWindow> window = std::make_shared<FakeWindow>();
    std::shared_ptr<FakeTray> tray = std::make_shared<FakeTray>();
    std::vector<TrayMenuItem> items;
    std::optional<int> exit_status;
    std::unique_ptr<wrenfold::WrenfoldApp> app;
};

}  // namespace

TEST_F(TrayAndWindow, MenuTextsFollowTheLanguageAndShowIsTheDefault)
{
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(texts(), (std::vector<std::string> { "Show window", "Quit" }));
    EXPECT_TRUE(items[0].is_default);
    EXPECT_FALSE(items[1].is_default);

    app->set_language("zh-Hant");
    EXPECT_EQ(tray->rebuilt, 1);
    EXPECT_EQ(texts(), (std::vector<std::string> { "顯示視窗", "完全退出" }));
    app->set_language("en");
    EXPECT_EQ(tray->rebuilt, 2);
    EXPECT_EQ(texts(), (std::vector<std::string> { "Show window", "Quit" }));

    items[0].action();
    EXPECT_EQ(window->shown, 1);
    EXPECT_FALSE(exit_status);
}

TEST_F(TrayAndWindow, QuitSavesTellsTheOtherProcessesRemovesTheIconAndEndsWithZero)
{
    std::filesystem::remove(folders.data() / "settings.json");
    items[1].action();
    EXPECT_TRUE(std::filesystem::exists(folders.data() / "settings.json"));
    EXPECT_TRUE(end_event->is_set());
    auto woken = end_queue->get(std::chrono::milliseconds(0));
    ASSERT_TRUE(woken);
    EXPECT_TRUE(woken->is_null());
    EXPECT_GE(tray->stopped, 1);
    EXPECT_EQ(window->destroyed, 1);
    EXPECT_EQ(exit_status, 0);
    EXPECT_TRUE(app->stop_requested());
}

TEST_F(TrayAndWindow, ClosingHidesOnlyWhileATrayShowsTheIcon)
{
    EXPECT_FALSE(app->_on_window_closing());
    EXPECT_EQ(window->hidden, 1);

    // No tray on this desktop: a hidden window could never come back, so it closes.
    tray->host_present = false;
    EXPECT_TRUE(app->_on_window_closing());
    EXPECT_EQ(window->hidden, 1);
}
