#include "app/store_rules.h"

#include "support/app_fixture.h"
#include "support/private_file.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using wrenfold::Json;
using wrenfold::testing::AppFolders;

TEST(AccountStore, NormalisesWhatItLoadsWithoutWritingItBack)
{
    AppFolders folders;
    const std::string stored =
        R"({"accounts": ["junk", 3, {"apple_id": "a@example.com"},)"
        R"( {"id": "keep", "apple_id": "b", "calendars": [{"url": "u"}], "home_tzid": "Europe/Paris"},)"
        R"( {"id": 0, "apple_id": "c"}]})";
    folders.store_accounts(stored);
    auto app = folders.make_app();
    Json accounts = wrenfold::account_records(app->accounts_snapshot());

    ASSERT_EQ(accounts.size(), 3u);
    EXPECT_EQ(accounts[0]["id"].get<std::string>().size(), 32u);
    EXPECT_EQ(accounts[0]["calendars"], Json::array());
    EXPECT_EQ(accounts[0]["home_tzid"], "Asia/Taipei");
    EXPECT_EQ(accounts[1]["id"], "keep");
    EXPECT_EQ(accounts[1]["home_tzid"], "Europe/Paris");
    EXPECT_EQ(accounts[1]["calendars"][0]["url"], "u");
    EXPECT_NE(accounts[2]["id"], 0);
    EXPECT_NE(accounts[0]["id"], accounts[2]["id"]);
    EXPECT_EQ(folders.accounts_file_text(), stored);
}

TEST(AccountStore, UnreadableStoresAreLoggedAndLeaveNoAccounts)
{
    for (const char* stored : { "not json", "[1, 2]", R"({"other": []})" }) {
        AppFolders folders;
        folders.store_accounts(stored);
        ::testing::internal::CaptureStdout();
        auto app = folders.make_app();
        std::string output = ::testing::internal::GetCapturedStdout();
        EXPECT_TRUE(output.starts_with("load_accounts: ")) << stored << ": " << output;
        EXPECT_EQ(output.back(), '\n');
        EXPECT_TRUE(app->accounts_snapshot().empty());
    }
    AppFolders folders;
    folders.store_accounts(R"({"accounts": {"not": "a list"}})");
    ::testing::internal::CaptureStdout();
    auto app = folders.make_app();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(app->accounts_snapshot().empty());
}

TEST(AccountStore, AStoreCutOffInAPasswordIsLoggedWithoutThePassword)
{
    AppFolders folders;
    folders.store_accounts(R"({"accounts": [{"id": "a", "apple_id": "a@example.com", "app_password": "abcd-efgh-ijkl)");
    ::testing::internal::CaptureStdout();
    auto app = folders.make_app();
    std::string output = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(output.starts_with("load_accounts: ")) << output;
    EXPECT_NE(output.find("parse error"), std::string::npos) << output;
    EXPECT_EQ(output.find("abcd"), std::string::npos) << output;
    EXPECT_TRUE(app->accounts_snapshot().empty());
}

TEST(AccountStore, SavedStoreReadsBackWithTheSameRecordsAndOrder)
{
    AppFolders folders;
    const std::string stored =
        "{\n  \"accounts\": [\n    {\n      \"id\": \"0123\",\n      \"apple_id\": \"林@example.com\",\n"
        "      \"app_password\": \"p\",\n      \"home_tzid\": \"Asia/Taipei\",\n"
        "      \"calendars\": [\n        {\n          \"url\": \"https://x/cal/\",\n"
        "          \"name\": \"家庭\",\n          \"visible\": false\n        }\n      ]\n"
        "    }\n  ]\n}";
    folders.store_accounts(stored);
    auto app = folders.make_app();
    app->_save_accounts();
    EXPECT_EQ(folders.accounts_file_text(), stored);
}

TEST(AccountStore, UnknownKeysAndOddValuesSurviveASaveByteForByte)
{
    AppFolders folders;
    const Json document = Json::parse(R"({"accounts": [
        {"id": 7, "apple_id": "n@example.com", "app_password": "p", "home_tzid": "", "extra": {"k": [1, null]},
         "calendars": ["junk", {"url": "https://x/cal/", "name": 5, "visible": "yes", "color": null,
                                "read_only": 0, "ctag": "t"}, {"name": "no url"}]},
        {"zz": true, "id": "b", "apple_id": "b@example.com", "calendars": null, "home_tzid": "Europe/Paris"}]})");
    const std::string stored = document.dump(2);
    folders.store_accounts(stored);
    auto app = folders.make_app();

    // A change that touches no calendar still saves the whole store.
    EXPECT_EQ(app->set_calendar_visible("7", "https://nowhere/", false)["ok"], true);
    EXPECT_EQ(folders.accounts_file_text(), stored);

    // A real change rewrites that one value in place.
    app->set_calendar_visible("7", "https://x/cal/", false);
    Json changed = document;
    changed["accounts"][0]["calendars"][1]["visible"] = false;
    EXPECT_EQ(folders.accounts_file_text(), changed.dump(2));
}

TEST(SettingsStore, MergesStoredKeysOverDefaultsAndKeepsUnknownOnes)
{
    AppFolders folders;
    folders.store_settings(R"({"view": "agenda", "window_w": 900, "somebody_elses": {"k": [1]}})");
    auto app = folders.make_app();
    EXPECT_EQ(app->settings_snapshot().dump(),
              R"({"window_w":900,"window_h":720,"language":"en","view":"agenda","somebody_elses":{"k":[1]}})");
    app->_save_settings();
    EXPECT_EQ(Json::parse(folders.settings_file_text())["somebody_elses"], Json::parse(R"({"k": [1]})"));
}

TEST(SettingsStore, UnreadableStoreIsLoggedAndDefaultsStay)
{
    for (const char* stored : { "{broken", "[\"a list\"]", "\"text\"" }) {
        AppFolders folders;
        folders.store_settings(stored);
        ::testing::internal::CaptureStdout();
        auto app = folders.make_app();
        std::string output = ::testing::internal::GetCapturedStdout();
        EXPECT_TRUE(output.starts_with("load_settings: ")) << stored << ": " << output;
        EXPECT_EQ(app->settings_snapshot(), Json::parse(R"({"window_w": 1280, "window_h": 720, "language": "en"})"));
    }
}

TEST(Stores, AStoreThatCannotBeReadIsKeptAsideBeforeASaveReplacesIt)
{
    // A hand edit that left a stray comma: the next save would write the
    // empty list and the defaults over the user's accounts and settings.
    AppFolders folders;
    const std::string accounts = R"({"accounts": [{"id": "a", "apple_id": "a@example.com", "app_password": "p",}]})";
    const std::string settings = R"({"language": "zh-Hant", "default_calendar": "https://x/cal/",})";
    folders.store_accounts(accounts);
    folders.store_settings(settings);
    ::testing::internal::CaptureStdout();
    auto app = folders.make_app();
    app->refresh_all_calendars();
    app->_save_settings();
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(Json::parse(folders.accounts_file_text())["accounts"], Json::array());
    EXPECT_EQ(wrenfold::testing::read_text(folders.data() / "accounts.json.unreadable"), accounts);
    EXPECT_EQ(wrenfold::testing::read_text(folders.data() / "settings.json.unreadable"), settings);
    wrenfold::testing::expect_private_to_user(folders.data() / "accounts.json.unreadable");
}

TEST(Saving, FailedWritesAreLoggedAndKeepTheOldStoreAndTheChangeInMemory)
{
    AppFolders folders;
    folders.store_settings(R"({"view": "day"})");
    auto app = folders.make_app();
    // Replace the store by a non-empty directory so that the final rename fails.
    fs::remove(folders.data() / "settings.json");
    wrenfold::testing::write_text(folders.data() / "settings.json" / "blocker", "x");
    fs::create_directories(folders.data() / "accounts.json" / "blocker");

    app->put_setting("view", "week");
    ::testing::internal::CaptureStdout();
    app->_save_settings();
    app->_save_accounts();
    std::string output = ::testing::internal::GetCapturedStdout();

    EXPECT_TRUE(output.starts_with("save_settings: ")) << output;
    EXPECT_NE(output.find("\nsave_accounts: "), std::string::npos) << output;
    EXPECT_EQ(app->setting("view"), "week");
    for (const auto& entry : fs::directory_iterator(folders.data()))
        EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
}

TEST(StoreRules, AccountsFromStoreNeedsAnObjectWithTheKey)
{
    EXPECT_THROW(wrenfold::accounts_from_store(Json::array()), std::runtime_error);
    EXPECT_THROW(wrenfold::accounts_from_store(Json::object()), std::runtime_error);
    EXPECT_EQ(wrenfold::accounts_from_store(Json::parse(R"({"accounts": 5})")), 5);
    EXPECT_EQ(wrenfold::normalise_accounts(5), Json::array());
}

TEST(Stores, NestingDeepEnoughToOverflowAStackIsNotValidJson)
{
    const std::string deep = std::string(60000, '[') + std::string(60000, ']');
    AppFolders folders;
    folders.store_accounts(R"({"accounts": )" + deep + "}");
    folders.store_settings(R"({"view": "day", "x": )" + deep + "}");
    ::testing::internal::CaptureStdout();
    auto app = folders.make_app();
    std::string output = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(output.find("load_accounts: not valid JSON"), std::string::npos) << output;
    EXPECT_NE(output.find("load_settings: not valid JSON"), std::string::npos) << output;
    EXPECT_TRUE(app->accounts_snapshot().empty());
    EXPECT_EQ(app->setting("view", "month"), "month");
}
