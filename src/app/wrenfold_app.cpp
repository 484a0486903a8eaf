#include "app/wrenfold_app.h"

#include "app/settings_rules.h"
#include "calendar/sync_queue.h"
#include "core/atomic_store.h"
#include "core/private_folder.h"
#include "core/work_pool.h"
#include "platform/free_memory.h"
#include "store/event_store.h"

namespace wrenfold {
namespace fs = std::filesystem;

namespace {

// Calendars of a query are listed from the store or a server by these threads
// and by the calling one: a few, as the work is mostly waiting or short.
constexpr std::size_t kQueryThreads = 3;

}  // namespace

WrenfoldApp::WrenfoldApp(platform::QueueMap queue_all_, platform::EventMap event_all_, AppEnvironment environment)
    : APP_DIR(environment.paths.data_directory),
      ACCOUNTS_FILE(APP_DIR / "accounts.json"),
      SETTINGS_FILE(APP_DIR / "settings.json"),
      MODULE_DIR(environment.paths.module_directory),
      queue_all(std::move(queue_all_)),
      event_all(std::move(event_all_)),
      m_make_engine(std::move(environment.make_engine)),
      m_transfer_abort(std::move(environment.transfer_abort)),
      // What the queries took from the allocator goes back to the system a
      // moment after they end, never on the way to an answer.
      m_query_pool(std::make_unique<WorkPool>(kQueryThreads, platform::return_free_memory)),
      m_assistant_platform(std::move(environment.assistant))
{
    // The data directory holds passwords and keys: only its owner may enter it.
    make_private_directories(APP_DIR);
    remove_stale_store_temps(APP_DIR);

    settings.replace(Json::object({ { "window_w", 1280 }, { "window_h", 720 }, { "language", DEFAULT_LANG } }));
    _load_accounts();
    _load_settings();
    _open_store();
    settings.with_locked([](Json& in_memory) { in_memory["language"] = language_in_force(in_memory); });
    const Json loaded_settings = settings_snapshot();

    m_claude_settings.replace({ claude_model_in_force(loaded_settings), claude_effort_in_force(loaded_settings),
                                claude_provider_in_force(loaded_settings),
                                claude_deepseek_model_in_force(loaded_settings) });

    _claude_arch_dir = fs::absolute(MODULE_DIR) / "architecture";
    _claude_custom_settings_path = APP_DIR / "deepseek-settings.json";
}

WrenfoldApp::~WrenfoldApp()
{
    // Syncs waiting on a server would hold the end up to their time limits.
    _end_requests();
    _join_poll_queue();
    _stop_background_sync();
}

std::string WrenfoldApp::claude_model() const
{
    return m_claude_settings.with_locked([](const auto& in_force) { return in_force.model; });
}

std::string WrenfoldApp::claude_effort() const
{
    return m_claude_settings.with_locked([](const auto& in_force) { return in_force.effort; });
}

std::string WrenfoldApp::claude_provider() const
{
    return m_claude_settings.with_locked([](const auto& in_force) { return in_force.provider; });
}

std::string WrenfoldApp::claude_deepseek_model() const
{
    return m_claude_settings.with_locked([](const auto& in_force) { return in_force.deepseek_model; });
}

}  // namespace wrenfold
