// The two stores, accounts.json and settings.json: read once at start, written
// whole after every change.
#include "app/wrenfold_app.h"

#include "app/store_rules.h"
#include "core/atomic_store.h"
#include "core/log.h"

namespace wrenfold {
namespace fs = std::filesystem;

namespace {

bool store_file_exists(const fs::path& path)
{
    std::error_code error;
    return fs::is_regular_file(path, error);
}

}  // namespace

void WrenfoldApp::_load_accounts()
{
    Json loaded = Json::array();
    if (store_file_exists(ACCOUNTS_FILE)) {
        try {
            loaded = accounts_from_store(parse_json(read_file(ACCOUNTS_FILE)));
        } catch (const std::exception& error) {
            log_line("load_accounts:", load_error_text(error));
            keep_unreadable_copy(ACCOUNTS_FILE);
            loaded = Json::array();
        }
    }
    accounts.replace(parse_accounts(normalise_accounts(loaded)));
}

void WrenfoldApp::_save_accounts()
{
    std::lock_guard save_lock(m_accounts_save_mutex);
    try {
        Json store = Json::object({ { "accounts", account_records(accounts_snapshot()) } });
        atomic_write_json(ACCOUNTS_FILE, store);
    } catch (const std::exception& error) {
        log_line("save_accounts:", error.what());
    }
}

void WrenfoldApp::_load_settings()
{
    if (!store_file_exists(SETTINGS_FILE))
        return;
    try {
        Json stored = parse_json(read_file(SETTINGS_FILE));
        if (!stored.is_object())
            throw std::runtime_error("settings.json does not hold a JSON object");
        settings.with_locked([&](Json& in_memory) {
            for (auto& [key, value] : stored.items())
                in_memory[key] = value;
        });
    } catch (const std::exception& error) {
        log_line("load_settings:", load_error_text(error));
        keep_unreadable_copy(SETTINGS_FILE);
    }
}

bool WrenfoldApp::_save_settings()
{
    std::lock_guard save_lock(m_settings_save_mutex);
    try {
        atomic_write_json(SETTINGS_FILE, settings_snapshot());
        return true;
    } catch (const std::exception& error) {
        log_line("save_settings:", error.what());
        return false;
    }
}

Json WrenfoldApp::setting(const std::string& key, Json fallback) const
{
    return settings.with_locked([&](const Json& in_memory) {
        auto found = in_memory.find(key);
        return found != in_memory.end() ? *found : std::move(fallback);
    });
}

void WrenfoldApp::put_setting(const std::string& key, Json value)
{
    settings.with_locked([&](Json& in_memory) { in_memory[key] = std::move(value); });
}

Json WrenfoldApp::settings_snapshot() const
{
    return settings.snapshot();
}

std::vector<Account> WrenfoldApp::accounts_snapshot() const
{
    return accounts.snapshot();
}

}  // namespace wrenfold
