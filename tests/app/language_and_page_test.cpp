#include "core/utf8_path.h"
#include "support/app_fixture.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using wrenfold::Json;
using wrenfold::testing::AppFolders;
using wrenfold::testing::write_text;

TEST(SetLanguage, StoresAndSavesOnlyARealChange)
{
    AppFolders folders;
    auto app = folders.make_app();

    EXPECT_EQ(app->set_language("zh_TW"), Json::parse(R"({"ok": true, "language": "en"})"));
    EXPECT_FALSE(fs::exists(folders.data() / "settings.json")) << "the language did not change";

    EXPECT_EQ(app->set_language("zh-Hant"), Json::parse(R"({"ok": true, "language": "zh-Hant"})"));
    EXPECT_EQ(Json::parse(folders.settings_file_text())["language"], "zh-Hant");
    EXPECT_EQ(app->_t("err.account.dup", { { "id", "Bob@Example.com" } }),
              "這個 Apple ID 已經加入過了：Bob@Example.com");

    EXPECT_EQ(app->set_language(42)["language"], "en");
    EXPECT_EQ(app->_t("tray.show"), "Show window");
}

TEST(PageBootstrap, ImagesAreDataUrlsAndAMissingOneIsEmpty)
{
    AppFolders folders;
    write_text(folders.module() / wrenfold::utf8_path("格式範本/logo.png"), "png");
    write_text(folders.module() / wrenfold::utf8_path("格式範本/logo.ico"), "ico");
    write_text(folders.module() / wrenfold::utf8_path("格式範本/重製箭頭001.png"), "");
    auto app = folders.make_app();

    Json images = app->get_images();
    EXPECT_EQ(images.dump(),
              Json::parse(R"({"logo": "data:image/png;base64,cG5n",)"
                          R"( "logo_ico": "data:image/x-icon;base64,aWNv",)"
                          R"( "gear": "", "refresh": "data:image/png;base64,"})")
                  .dump());
}

TEST(PageBootstrap, InitialStateOnAFirstStartAndWithStoredValues)
{
    AppFolders folders;
    auto first = folders.make_app();
    EXPECT_EQ(
        first->get_initial_state().dump(),
        Json::object({ { "accounts", Json::array() },
                       { "default_calendar", "" },
                       { "view", "month" },
                       { "show_tw_holidays", true },
                       { "accounts_file", (folders.data() / "accounts.json").string() },
                       { "language", "en" },
                       { "time_zone", "Asia/Taipei" },
                       { "reading", Json::parse(R"({"theme": "system", "week_start": "system", "clock": "language",
                                                          "lunar": "language", "week_numbers": false})") },
                       { "reminders",
                         Json::parse(R"({"enabled": true, "sound": true, "default_alert": null,)"
                                     R"( "default_all_day_alert": null})") } })
            .dump());

    folders.store_settings(R"({"view": "day", "show_tw_holidays": false, "default_calendar": "https://c/1/",)"
                           R"( "language": "zh-Hant", "reminder_sound": false, "default_alert": 15,)"
                           R"( "default_all_day_alert": 15})");
    folders.store_accounts(R"({"accounts": [{"id": "a", "apple_id": "x@y", "app_password": "secret",)"
                           R"( "calendars": [{"url": "https://c/1/", "name": "Home"}]}]})");
    auto second = folders.make_app();
    Json state = second->get_initial_state();
    EXPECT_EQ(state["view"], "day");
    EXPECT_EQ(state["show_tw_holidays"], false);
    EXPECT_EQ(state["default_calendar"], "https://c/1/");
    EXPECT_EQ(state["language"], "zh-Hant");
    // 15 minutes before is no choice for all-day events: none.
    EXPECT_EQ(state["reminders"],
              Json::parse(R"({"enabled": true, "sound": false, "default_alert": 15,)"
                          R"( "default_all_day_alert": null})"));
    EXPECT_EQ(
        state["accounts"].dump(),
        R"([{"id":"a","apple_id":"x@y","home_tzid":"Asia/Taipei","calendars":[{"url":"https://c/1/","name":"Home"}]}])");
    EXPECT_EQ(state.dump().find("secret"), std::string::npos) << "passwords never reach the page";
}

TEST(ReadingSettings, OnlyKnownChoicesAreStoredAndTheyOutliveARestart)
{
    AppFolders folders;
    folders.store_settings(R"({"reading": {"theme": "dark", "clock": "13", "week_numbers": "yes", "font": "huge"}})");
    auto app = folders.make_app();
    EXPECT_EQ(app->get_initial_state()["reading"], Json::parse(R"({"theme": "dark", "week_start": "system",
        "clock": "language", "lunar": "language", "week_numbers": false})"));

    Json answer = app->set_reading_settings(Json::parse(R"({"week_start": "monday", "lunar": "off", "theme": 1,
                                                             "week_numbers": true, "clock": "24"})"));
    Json expected = Json::parse(R"({"theme": "dark", "week_start": "monday", "clock": "24", "lunar": "off",
                                    "week_numbers": true})");
    EXPECT_EQ(answer, Json::object({ { "ok", true }, { "reading", expected } }));
    EXPECT_EQ(folders.make_app()->get_initial_state()["reading"], expected);
    EXPECT_EQ(app->set_reading_settings("dark")["reading"], expected) << "anything but an object changes nothing";
}
