#pragma once

#include "app/wrenfold_app.h"
#include "support/files.h"
#include "support/temp_dir.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace wrenfold::testing {

// A data directory and a module directory of their own, so that an
// application object under test never touches the real home folder.
struct AppFolders {
    TempDir root;
    std::filesystem::path data() const { return root / "data"; }
    std::filesystem::path module() const { return root / "module"; }
    AppEnvironment environment() const { return AppEnvironment { { data(), module() } }; }

    void store_settings(const std::string& json) const { write_text(data() / "settings.json", json); }
    void store_accounts(const std::string& json) const { write_text(data() / "accounts.json", json); }
    // One account "acc1" in Asia/Taipei; `calendars` as [[url, name], ...].
    void store_one_account(const std::string& apple_id, const std::string& password,
                           const std::vector<std::pair<std::string, std::string>>& calendars) const
    {
        Json listed = Json::array();
        for (const auto& [url, name] : calendars)
            listed.push_back({ { "url", url }, { "name", name } });
        Json account = { { "id", "acc1" },
                         { "apple_id", apple_id },
                         { "app_password", password },
                         { "home_tzid", "Asia/Taipei" },
                         { "calendars", listed } };
        store_accounts(Json::object({ { "accounts", Json::array({ account }) } }).dump());
    }
    std::string settings_file_text() const { return read_text(data() / "settings.json"); }
    std::string accounts_file_text() const { return read_text(data() / "accounts.json"); }

    std::unique_ptr<WrenfoldApp> make_app() const
    {
        return std::make_unique<WrenfoldApp>(platform::QueueMap {}, platform::EventMap {}, environment());
    }
};

}  // namespace wrenfold::testing
