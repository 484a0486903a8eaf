#include "platform/tray_notify_icon.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <atomic>
#include <mutex>
#include <thread>

using wrenfold::platform::NotifyIconTray;
using wrenfold::platform::TrayMenuItem;

namespace {

void click(LPARAM event)
{
    HWND window = FindWindowW(wrenfold::platform::kTrayWindowClass, nullptr);
    ASSERT_NE(window, nullptr);
    SendMessageW(window, wrenfold::platform::kTrayIconMessage, 0, event);
}

}  // namespace

TEST(WindowsTray, ClicksReachTheDefaultItemAndTheLastBalloonUntilStopped)
{
    std::atomic<int> shown_window { 0 };
    std::atomic<int> quit { 0 };
    std::mutex lock;
    std::vector<std::pair<std::uint32_t, std::string>> balloon_clicks;
    std::vector<TrayMenuItem> items {
        { [] { return std::string("Show window"); }, [&] { ++shown_window; }, true },
        { [] { return std::string("Quit"); }, [&] { ++quit; }, false },
    };
    NotifyIconTray tray("Wrenfold", "missing.ico", std::move(items), [&](std::uint32_t id, const std::string& action) {
        std::lock_guard guard(lock);
        balloon_clicks.emplace_back(id, action);
    });
    ASSERT_TRUE(tray.shown());

    click(WM_LBUTTONUP);
    EXPECT_EQ(shown_window, 1);
    EXPECT_EQ(quit, 0);

    tray.show({ "Earlier", "first", false, {} });
    auto id = tray.show({ "會議", std::string(400, 'x'), true, {} });
    ASSERT_TRUE(id);
    click(NIN_BALLOONUSERCLICK);
    {
        std::lock_guard guard(lock);
        ASSERT_EQ(balloon_clicks.size(), 1u);
        EXPECT_EQ(balloon_clicks[0], std::make_pair(*id, std::string("default")));
    }

    tray.stop();
    EXPECT_FALSE(tray.shown());
    EXPECT_FALSE(tray.show({ "After", "stop", false, {} }));
}
