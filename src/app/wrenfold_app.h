#pragma once

#include "app/app_constants.h"
#include "app/launch_options.h"
#include "assistant/assistant_platform.h"
#include "assistant/calendar_choice.h"
#include "assistant/turn_in_flight.h"
#include "caldav/http.h"
#include "calendar/calendar_rules.h"
#include "calendar/records.h"
#include "core/app_paths.h"
#include "core/bridge_call.h"
#include "core/guarded.h"
#include "core/json.h"
#include "platform/desktop_handles.h"
#include "platform/message_queues.h"
#include "platform/notifications.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace wrenfold {

namespace caldav {
class CalendarEngine;
struct WriteResult;
}  // namespace caldav
class ReminderService;
struct ListedEvents;
namespace platform {
class BrowserHost;
class ChildProcess;
struct ProcessResult;
}  // namespace platform
namespace assistant {
struct TurnCommand;
class TurnFolders;
}  // namespace assistant
namespace store {
class EventStore;
struct StoredObject;
}  // namespace store
class SyncQueue;
class WorkPool;

// Makes the CalDAV engine of one account; without a time zone the engine
// takes its own default.
using EngineFactory = std::function<std::shared_ptr<caldav::CalendarEngine>(
    const std::string& apple_id, const std::string& app_password, const std::optional<std::string>& home_tzid)>;

// The real engine, talking to iCloud (or to WRENFOLD_CALDAV_URL); its
// requests under way end once `abort` is set.
EngineFactory icloud_engine_factory(std::shared_ptr<const caldav::TransferAbort> abort = nullptr);

// What the application object is given besides the launcher's mappings: where
// it keeps and finds its files, and how it makes engines. Tests point it at
// temporary folders and fake engines.
struct AppEnvironment {
    AppPaths paths;
    // The operating-system services of the assistant.
    assistant::AssistantPlatform assistant = assistant::AssistantPlatform::for_this_process();
    // Set at shutdown, so that no request holds the end up.
    std::shared_ptr<caldav::TransferAbort> transfer_abort = std::make_shared<caldav::TransferAbort>();
    EngineFactory make_engine = icloud_engine_factory(transfer_abort);

    static AppEnvironment for_this_process() { return { AppPaths::for_this_process() }; }
};

// The one application object. Its public methods without a leading underscore
// are the page's script bridge (registered in bridge_table.cpp); those with one
// serve them and are never callable from the page. Its member functions are
// defined in one file per subsystem.
//
// Threads. Bridge methods run on several bridge worker threads at once (one
// per call in the window, the HTTP server's pool in the browser host), so all
// shared state lives in an owner that is reached only under its lock:
// `_claude_inflight_lock` owns the conversation's session id, the running
// chat turn's child and the generation a reset bumps; `m_claude_settings` the
// assistant's settings in force; `m_claude_exe` the Claude Code executable
// found; `m_shell` the window and the tray icon; `m_poll_thread` the consumer
// thread. No lock is held while a child runs, a file is written or the GUI is
// called. GTK runs on the toolkit thread, and the window's and the tray's
// handlers (`_on_window_closing`, the tray menu's show and quit) are called
// there. The poll thread (`_poll_queue`) applies the sync worker's reports
// until `_stop` is set.
class WrenfoldApp : public AppConstants {
public:
    explicit WrenfoldApp(platform::QueueMap queue_all = {}, platform::EventMap event_all = {},
                         AppEnvironment environment = AppEnvironment::for_this_process());
    ~WrenfoldApp();
    WrenfoldApp(const WrenfoldApp&) = delete;
    WrenfoldApp& operator=(const WrenfoldApp&) = delete;

    // The data directory and the two stores in it.
    const std::filesystem::path APP_DIR;
    const std::filesystem::path ACCOUNTS_FILE;
    const std::filesystem::path SETTINGS_FILE;
    // The folder of the installed data: html/, 格式範本/, architecture/.
    const std::filesystem::path MODULE_DIR;

    // ---- Lifecycle (shell/) ----
    // Shows the page and blocks until the program is asked to end, then shuts down.
    void run(const std::string& html_content, const LaunchOptions& options);
    // Settings saved and end signals given; throws after giving them when the
    // settings could not be saved. Safe to run twice, even at the same time.
    void _shutdown();
    // Ends every request to a server under way and refuses new ones, so that
    // no bridge call or sync holds the end up.
    void _end_requests();

    // ---- Sync worker messages (shell/queue_consumer.cpp) ----
    // The consumer loop; runs until the stop flag is set.
    void _poll_queue();
    // Starts _poll_queue on a thread the application object owns and joins.
    void _start_poll_queue();
    void _join_poll_queue();
    // Applies one worker message; anything but the two known kinds is ignored.
    void _handle_worker_message(const Json& message);
    // ---- Calendar files handed from outside (app/opened_file.cpp) ----
    // Reads and holds the file for the page's import preview, after those not
    // taken yet (the last few), and raises the token get_runtime_state shows;
    // a file that cannot be opened is held as its failure, and why is answered too.
    std::optional<std::string> _hand_file_to_page(const std::filesystem::path& file);
    // The earliest file handed and not taken yet, taken: {"ok": true, "file":
    // {"name", "text"} or null}, or {"ok": false, "error", "name"} for one refused.
    Json take_opened_file();
    // A later start's request: a file it hands over is
    // taken in; `answer` unless that file is refused.
    std::string _answer_later_start(std::string_view request, std::string answer);

    // ---- Window and tray (shell/window.cpp, shell/tray.cpp) ----
    // The user closes the window: true lets it close (and the program end),
    // false keeps it, hidden, while the tray can bring it back.
    bool _on_window_closing();
    void _on_window_resized(int width, int height);
    void _apply_dark_titlebar();
    // Makes the tray icon from its menu; `end_process` ends the program at once.
    using TrayFactory = std::function<std::shared_ptr<platform::TrayIcon>(std::vector<platform::TrayMenuItem> items)>;
    void _setup_tray(const TrayFactory& make_tray, std::function<void(int status)> end_process);
    void _set_window(std::shared_ptr<platform::AppWindow> window);
    void _run_window(BridgeTarget& bridge, const std::string& html_content, const LaunchOptions& options);
    void _run_browser_host(BridgeTarget& bridge, const std::string& html_content, const LaunchOptions& options);
    // Lets go of what could hold the page server's stop, stops it and ends the run.
    void _stop_browser_host(platform::BrowserHost& host, const LaunchOptions& options);

    // ---- Desktop utilities (shell/desktop_services.cpp) ----
    Json open_url(const Json& url);
    Json read_clipboard();
    // Whether a toolkit reads the clipboard in this process (false without a display).
    void _set_clipboard_available(bool available) { m_clipboard_available = available; }

    // ---- Licence notices (app/license_notices.cpp) ----
    Json get_third_party_licenses() const;
    std::filesystem::path _license_scan_dirs() const;

    // ---- Stores (app/stores.cpp) ----
    void _load_accounts();
    // A failure is logged, never thrown.
    void _save_accounts();
    void _load_settings();
    // Whether the settings reached the disk; a failure is logged, never thrown.
    bool _save_settings();

    // Settings map access; every read and write is indivisible.
    Json setting(const std::string& key, Json fallback = nullptr) const;
    void put_setting(const std::string& key, Json value);
    Json settings_snapshot() const;
    // The account list as it stands.
    std::vector<Account> accounts_snapshot() const;

    // ---- Language (app/language.cpp) ----
    std::string _t(std::string_view key, const Json& values = Json::object()) const;
    Json set_language(const Json& lang);

    // ---- Page bootstrap (app/page_bootstrap.cpp) ----
    Json get_images() const;
    Json get_initial_state();

    // ---- Accounts (calendar/accounts.cpp) ----
    Json list_accounts();
    // A `request_id` lets `cancel_add_account` call the sign-in off: its
    // answer, however late, then adds nothing.
    Json add_account(const Json& apple_id, const Json& app_password, const Json& request_id = "");
    Json cancel_add_account(const Json& request_id);
    Json remove_account(const std::string& account_id);
    // Lookups answer copies of the records as they stand.
    std::optional<Account> _account_by_id(const std::string& account_id) const;
    std::optional<Account> _account_for_url(const std::string& event_url) const;
    static std::optional<Calendar> _calendar_for_url(const Account& account, const std::string& event_url);
    std::shared_ptr<caldav::CalendarEngine> _engine_for(const Account& account);
    // An engine for these credentials once the server has taken them; when it
    // has not, null and `failure` holds the answer that says why.
    std::shared_ptr<caldav::CalendarEngine> _signed_in_engine(const std::string& apple_id, const std::string& password,
                                                              const std::string& tzid, Json& failure);

    // ---- Calendars, view and change tokens (calendar/calendars.cpp) ----
    void _bump_refresh();
    void _bump_calendars();
    Json get_runtime_state();
    Json refresh_calendars(const std::string& account_id);
    Json refresh_all_calendars();
    Json set_calendar_visible(const std::string& account_id, const std::string& calendar_url, const Json& visible);
    Json set_default_calendar(const std::string& calendar_url);
    // Calendars made, renamed or recoloured ({"name"?, "color"?}) and deleted
    // on the server (calendar/calendar_collections.cpp); a calendar that holds
    // events is deleted only when `confirmed`.
    Json create_calendar(const std::string& account_id, const Json& name, const Json& color);
    Json update_calendar(const std::string& account_id, const std::string& calendar_url, const Json& changes);
    Json delete_calendar(const std::string& account_id, const std::string& calendar_url, const Json& confirmed);
    Json set_view(const Json& view);
    void _set_sync_status(const std::string& calendar_url, std::string_view status);

    // ---- Event query (calendar/event_query.cpp) ----
    Json get_events(const Json& start, const Json& end, const Json& include_hidden = false);
    // get_events' answer as the JSON text the bridge sends: a month of events
    // is written out without building it as a tree first.
    std::string _events_answer(const Json& start, const Json& end, const Json& include_hidden);
    // The events of start <= d < end of each calendar chosen, fetched in
    // parallel, in stored calendar order; holidays are not among them.
    // `page_fetch` numbers the page's fetch this serves (0: none): it stops
    // waiting on servers as soon as a newer page fetch begins.
    std::vector<CalendarListing> _list_calendars(std::chrono::year_month_day start, std::chrono::year_month_day end,
                                                 bool include_hidden, std::uint64_t page_fetch = 0,
                                                 ListingFor purpose = ListingFor::records);

    // ---- Local copy of the calendars (calendar/local_copy.cpp) ----
    // Events of every calendar by title, place or notes, case and accents
    // ignored, from the local copy: {"ok": true, "events": [Event record...]}.
    Json search_events(const Json& text, const Json& limit = nullptr);
    // "Try again": every calendar is synced now.
    // {"ok": true, "calendar_states": as in get_runtime_state}.
    Json sync_now();
    // A new app-specific password for an account the server refused: checked
    // against the server first, then stored and used from then on.
    Json replace_account_password(const std::string& account_id, const Json& app_password);
    void _open_store();
    // Whether the calendars of this engine are answered from the store.
    bool _uses_store(caldav::CalendarEngine& engine) const;
    // Brings the calendar's local copy up to date in one transaction; true
    // when something changed. Throws (after recording it) what failed.
    bool _sync_calendar(const Account& account, const Calendar& calendar);
    // The calendar's events of the range from the store, after a first sync
    // when it has never been synced; `failure` is what its last sync met, or "".
    void _stored_events(CalendarListing& listing, std::chrono::year_month_day start, std::chrono::year_month_day end,
                        std::uint64_t page_fetch, ListingFor purpose);
    // A first sync of the calendar in the background, waited for a few
    // seconds at most; throws when it is not done by then ("not responding")
    // or when the server's last answer asked to wait, and throws
    // FetchSuperseded when a page fetch newer than `page_fetch` begins.
    void _await_first_sync(const std::string& calendar_url, std::uint64_t page_fetch);
    // Counts a finished sync attempt and wakes the fetches waiting for it.
    void _note_sync_attempt(const std::string& calendar_url, const std::exception_ptr& failure);
    // Background syncs, a few calendars at a time; the refresh token rises
    // after each one that changed something.
    void _sync_later(const std::vector<std::string>& calendar_urls);
    void _sync_all_later();
    // The start's syncs of every calendar wait until the page's first events
    // have been answered (or a few seconds have passed without a page), so
    // that the first answer does not share the machine with them.
    void _sync_all_after_first_answer();
    // Starts them, and the reminders' first listing, if they still wait and
    // `due` (the page answered, or time is up).
    void _release_start_syncs(bool due);
    void _sync_in_background(const std::string& calendar_url);
    void _stop_background_sync();
    // The calendars that own the written URLs synced now, so the page's next
    // refetch shows the write.
    void _sync_after_write(const Account& account, const std::vector<std::string>& urls);
    void _forget_stored_account(const std::string& account_id);
    // calendar URL -> {"state", "last_sync", "unreachable_since", "error"}.
    Json _calendar_states() const;

    // ---- Event editing (calendar/event_editing.cpp) ----
    Json create_event(const std::string& account_id, const std::string& calendar_url, const Json& fields);
    Json update_event(const std::string& account_id, const std::string& event_url, const std::string& etag,
                      const Json& fields);
    Json move_event(const std::string& old_account_id, const std::string& old_event_url, const std::string& etag,
                    const std::string& new_account_id, const std::string& new_calendar_url, const Json& fields);
    // With a recurrence_id only that occurrence of a repeating event goes,
    // or with scope "future" it and every later one.
    Json delete_event(const std::string& account_id, const std::string& event_url,
                      const std::optional<std::string>& etag = std::nullopt,
                      const std::optional<std::string>& recurrence_id = std::nullopt,
                      const std::optional<std::string>& scope = std::nullopt);
    // Throws what failed instead of answering a failure object.
    caldav::WriteResult _move_event(const Account& old_account, const std::string& old_event_url,
                                    const std::string& old_etag, const Account& new_account,
                                    const std::string& new_calendar_url, const Json& fields);
    // The event as stored now (for a conflict), its whole object (kept by
    // the page for an undo), and that object written back.
    Json get_event(const std::string& account_id, const std::string& event_url);
    Json export_event(const std::string& account_id, const std::string& event_url);
    Json restore_event(const std::string& account_id, const std::string& event_url, const std::string& etag,
                       const std::string& ics);

    // ---- .ics files (calendar/ics_transfer.cpp) ----
    // What a file would bring into a calendar: how many objects, the first
    // few events, and the UIDs the calendar already holds (updated by
    // import_ics only when the user agreed).
    Json preview_ics(const std::string& account_id, const std::string& calendar_url, const std::string& text);
    Json import_ics(const std::string& account_id, const std::string& calendar_url, const std::string& text,
                    bool update_existing);
    // A calendar as one file, or with start and end (dates) the objects that
    // may occur between them.
    Json export_ics(const std::string& account_id, const std::string& calendar_url,
                    const std::optional<std::string>& start = std::nullopt,
                    const std::optional<std::string>& end = std::nullopt);
    // The calendar's objects in the local copy by UID, synced first when it
    // never was.
    std::map<std::string, store::StoredObject> _stored_by_uid(const Account& account, const Calendar& calendar);

    // ---- Reminders (reminders/) ----
    // Applies the page's changes ("enabled", "sound", "default_alert",
    // "default_all_day_alert") and answers the settings in force.
    Json set_reminder_settings(const Json& changes);
    // {"banners": reminders the page shows itself, "open": the event a
    // reminder's "Open" asked for since the last call, or null}.
    Json get_reminders();
    // "snooze", "open" or "dismiss" for one of the page's banners.
    Json reminder_action(const std::string& id, const std::string& action);
    // The delivering service runs from the start of run() to the shutdown. It
    // shows reminders through `notifier` (the Windows tray's balloons), else
    // through the session bus when there is one.
    void _start_reminders(std::unique_ptr<platform::Notifier> notifier = nullptr);
    void _reminder_notification_action(std::uint32_t id, const std::string& action);
    void _stop_reminders();
    // Events changed (a sync report, an edit): the schedule is listed again.
    void _reminders_changed();
    std::vector<ListedEvents> _list_for_reminders(std::chrono::sys_seconds from, std::chrono::sys_seconds to);

    // ---- Taiwan holidays (calendar/holidays.cpp) ----
    // Holiday records of the dates start <= d < end; never fails.
    Json _tw_holidays(std::chrono::year_month_day start, std::chrono::year_month_day end) const;
    Json set_tw_holidays(const Json& visible);
    // Both languages' names of the holidays of start <= d < end, by date.
    Json get_holiday_names(const Json& start, const Json& end) const;

    // ---- Lunar dates (calendar/lunar_days.cpp) ----
    Json get_lunar_dates(const Json& start, const Json& end) const;

    // ---- The calendar's time zone (calendar/time_zone.cpp) ----
    std::string time_zone() const;
    Json set_time_zone(const Json& zone);

    // ---- How the page reads: theme, week start, clock, week numbers, lunar dates (app/page_bootstrap.cpp) ----
    Json set_reading_settings(const Json& changes);

    // ---- Assistant settings in force ----
    std::string claude_model() const;
    std::string claude_effort() const;
    std::string claude_provider() const;
    std::string claude_deepseek_model() const;
    const std::filesystem::path& claude_arch_dir() const { return _claude_arch_dir; }
    const std::filesystem::path& claude_custom_settings_path() const { return _claude_custom_settings_path; }

    bool stop_requested() const { return _stop.load(); }

    // ==== Assistant (src/assistant/) ====
    // Claude Code discovery and readiness (claude_readiness.cpp).
    std::optional<std::string> _resolve_claude_exe();
    bool _claude_logged_in() const;
    Json claude_ai_state();
    Json claude_status();
    Json claude_find_executable(const Json& name) const;

    // Installation, PATH refresh and sign-in (claude_setup.cpp).
    Json install_claude_code();
    void _refresh_user_path_after_install();
    Json dismiss_ai_setup();
    Json reset_ai_setup();
    Json start_claude_login();

    // Model, provider, effort, API key and session (claude_settings.cpp).
    Json claude_get_models() const;
    Json set_claude_model(const Json& model_id);
    Json set_claude_provider(const Json& provider);
    Json set_claude_effort(const Json& level);
    Json set_claude_api_key(const Json& api_key);
    Json claude_reset_session();
    // Assigns a setting in force and stores it when it changed; an unchanged
    // value saves nothing. A failed save is only logged.
    void _store_claude_setting(std::string assistant::AssistantSettingsInForce::*field, const char* key,
                               const std::string& value);

    // DeepSeek provider (deepseek_provider.cpp).
    Json claude_get_deepseek_credentials() const;
    Json set_claude_deepseek_credentials(const Json& api_key, const Json& base_url = nullptr,
                                         const Json& model = nullptr);
    Json claude_get_deepseek_models() const;
    Json set_claude_deepseek_model(const Json& model_id);

    // One chat turn (chat_turn.cpp).
    Json claude_send(const Json& user_text, const Json& terminal_text = "", const Json& target_tab_id = nullptr,
                     const Json& timeout = 180, const Json& is_followup = false, const Json& tab_texts = nullptr);

    // System prompt and calendar context (prompt_assembly.cpp).
    std::string _read_text_safe(const std::filesystem::path& path) const;
    std::string _lang_directive() const;
    std::string _build_claude_system_prompt() const;
    // The folder and name of the runtime prompt file written, or nothing;
    // `private_folder` is where it goes when the rules folder cannot be written.
    std::optional<std::pair<std::filesystem::path, std::string>>
    _write_claude_runtime_system_prompt(const std::filesystem::path& private_folder) const;
    std::string _calendar_context_block() const;

    // Calendar actions the assistant proposes (calendar_actions.cpp). Each
    // takes the payload as the assistant wrote it.
    Json claude_query_events(const Json& payload);
    Json claude_create_event(const Json& payload);
    Json claude_update_event(const Json& payload);
    Json claude_delete_event(const Json& payload);
    std::string _default_calendar_url() const;
    std::optional<assistant::CalendarChoice> _default_calendar() const;
    // The writable calendar a name, account hint or exact URL means; the
    // default calendar when none matches; nothing without any writable calendar.
    std::optional<assistant::CalendarChoice> _resolve_calendar(const std::string& name,
                                                               const std::string& account_hint = "",
                                                               const std::string& calendar_url = "") const;

    // Provider error messages (api_error_message.cpp).
    std::string _humanize_claude_api_error(const Json& data) const;

    // The assistant's view of the environment and home folder.
    std::string _claude_home_folder() const;
    bool _has_deepseek_settings() const;

private:
    // Launcher mappings.
    platform::QueueMap queue_all;
    platform::EventMap event_all;

    // Stores in memory; the files are their copies. Each behind its own lock;
    // a save holds the store's save lock from snapshot to rename, so saves land
    // in the order their snapshots were taken.
    Guarded<std::vector<Account>> accounts;
    std::mutex m_accounts_save_mutex;
    Guarded<Json> settings { Json::object() };
    std::mutex m_settings_save_mutex;

    // Replaces the account list by what `change` makes of it, under the lock,
    // so that no change is lost to another made at the same time.
    void _change_accounts(const std::function<void(std::vector<Account>& accounts)>& change);

    // Accounts and calendars.
    EngineFactory m_make_engine;
    std::shared_ptr<caldav::TransferAbort> m_transfer_abort;
    // The threads that list the calendars of an event query, shared by all.
    std::unique_ptr<WorkPool> m_query_pool;
    // The engine of each account id, made on first use.
    using EngineMap = std::map<std::string, std::shared_ptr<caldav::CalendarEngine>>;
    Guarded<EngineMap> _engines_lock;
    // Sign-ins the page called off; each id is taken out when its answer comes.
    Guarded<std::set<std::string>> m_cancelled_sign_ins;
    // The last fetch outcome ("ok" or "error") of each calendar URL.
    Guarded<Json> _sync_status { Json::object() };
    // Marks the account's calendars as failing; throws for stored calendars
    // that have no address to mark.
    void _mark_sync_failed(const Account& account);
    // The local copy; none when not even a new one could be made.
    std::unique_ptr<store::EventStore> m_store;
    Guarded<std::unique_ptr<SyncQueue>> m_sync_queue;
    // Calendars being synced, and since when.
    Guarded<std::map<std::string, std::chrono::steady_clock::time_point>> m_syncing;
    // What the page's fetches wait on for a calendar never synced: each
    // calendar's finished sync attempts, and when one that failed may be
    // asked again (the server's Retry-After, at least a short pause).
    std::mutex m_first_sync_mutex;
    std::condition_variable m_first_sync_done;
    std::map<std::string, std::uint64_t> m_sync_attempts;
    std::map<std::string, std::chrono::steady_clock::time_point> m_sync_not_before;
    // The number of the page's latest fetch (get_events).
    std::atomic<std::uint64_t> m_page_fetches { 0 };
    // How long the start's background work (the syncs, the reminders' first
    // listing) waits for the page's first events at most.
    static constexpr std::chrono::seconds _START_WORK_WAIT { 3 };
    // Whether the start's syncs still wait for the page's first answer, and
    // until when at most.
    std::atomic<bool> m_start_syncs_waiting { false };
    std::atomic<std::chrono::steady_clock::rep> m_start_syncs_deadline { 0 };
    Guarded<std::map<std::string, std::shared_ptr<std::mutex>>> m_calendar_sync_locks;
    std::atomic<std::int64_t> _refresh_token { 0 };
    std::atomic<std::int64_t> _calendars_token { 0 };
    std::atomic<std::int64_t> _state_seq { 0 };
    // Calendar files handed to the page and not taken yet, and how many were handed.
    Guarded<std::deque<Json>> m_opened_files;
    std::atomic<std::int64_t> _opened_file_token { 0 };

    // Desktop shell: the window and the tray icon, each empty until made.
    struct ShellHandles {
        std::shared_ptr<platform::AppWindow> window;
        std::shared_ptr<platform::TrayIcon> tray_icon;
    };
    Guarded<ShellHandles> m_shell;
    std::atomic<bool> _stop { false };
    Guarded<std::thread> m_poll_thread;
    std::atomic<bool> m_clipboard_available { false };

    // Assistant: the conversation and its running turn, the settings in force,
    // and the executable found (a miss is not kept, so it is searched again).
    Guarded<assistant::TurnInFlight> _claude_inflight_lock;
    Guarded<assistant::AssistantSettingsInForce> m_claude_settings;
    Guarded<std::optional<std::string>> m_claude_exe;
    // This run's private folders of chat turns, made at the first turn.
    Guarded<std::shared_ptr<const assistant::TurnFolders>> m_turn_folders;
    std::shared_ptr<const assistant::TurnFolders> _claude_turn_folders();

    // Reminders: the service while the program runs, and the event an "Open"
    // asked for, until the page takes it.
    Guarded<std::shared_ptr<ReminderService>> m_reminders;
    Guarded<Json> m_reminder_open;

    // One chat turn, run again (without the session) while it only finds the
    // conversation it resumed expired (chat_turn.cpp).
    std::optional<Json> _claude_send_once(const Json& user_text, const Json& timeout,
                                          std::chrono::milliseconds time_limit);
    assistant::TurnCommand
    _claude_turn_command(const std::string& exe, const std::string& provider,
                         const std::optional<std::pair<std::filesystem::path, std::string>>& runtime_file,
                         const std::string& session_id);
    std::optional<Json> _claude_turn_answer(const platform::ProcessResult& result, bool resumed,
                                            std::int64_t generation);

    std::atomic<bool> _ai_setup_dismissed_this_session { false };
    std::filesystem::path _claude_arch_dir;
    std::filesystem::path _claude_custom_settings_path;
    assistant::AssistantPlatform m_assistant_platform;
};

}  // namespace wrenfold
