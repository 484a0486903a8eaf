#include "app/bridge_table.h"

#include "app/wrenfold_app.h"

#include <algorithm>
#include <map>

namespace wrenfold {

namespace {

using Handler = Json (*)(WrenfoldApp&, const BridgeArgs&);

const std::map<std::string, Handler, std::less<>>& bridge_table()
{
    static const std::map<std::string, Handler, std::less<>> table {
        // Language and page bootstrap
        { "set_language", [](WrenfoldApp& app, const BridgeArgs& args) { return app.set_language(args.required(0)); } },
        { "get_images", [](WrenfoldApp& app, const BridgeArgs&) { return app.get_images(); } },
        { "get_initial_state", [](WrenfoldApp& app, const BridgeArgs&) { return app.get_initial_state(); } },
        { "get_third_party_licenses",
          [](WrenfoldApp& app, const BridgeArgs&) { return app.get_third_party_licenses(); } },

        // Accounts
        { "list_accounts", [](WrenfoldApp& app, const BridgeArgs&) { return app.list_accounts(); } },
        { "add_account",
          [](WrenfoldApp& app, const BridgeArgs& args) {
              return app.add_account(args.value(0, ""), args.value(1, ""), args.value(2, ""));
          } },
        { "cancel_add_account",
          [](WrenfoldApp& app, const BridgeArgs& args) { return app.cancel_add_account(args.value(0, "")); } },
        { "remove_account", [](WrenfoldApp& app, const BridgeArgs& args) { return app.remove_account(args.text(0)); } },

        // Calendars, view and change tokens
        { "get_runtime_state", [](WrenfoldApp& app, const BridgeArgs&) { return app.get_runtime_state(); } },
        { "refresh_calendars",
          [](WrenfoldApp& app, const BridgeArgs& args) { return app.refresh_calendars(args.text(0)); } },
        { "refresh_all_calendars", [](WrenfoldApp& app, const BridgeArgs&) { return app.refresh_all_calendars(); } },
        { "set_calendar_visible",
          [](WrenfoldApp& app, const BridgeArgs& args) {
              return app.set_calendar_visible(args.text(0), args.text(1), args.required(2));
          } },
        { "set_default_calendar",
          [](WrenfoldApp& app, const BridgeArgs& args) { return app.set_default_calendar(args.text(0)); } },
        { "set_view", [](WrenfoldApp& app, const BridgeArgs& args) { return app.set_view(args.required(0)); } },
        { "create_calendar",
          [](WrenfoldApp& app, const BridgeArgs& args) {
              return app.create_calendar(args.text(0), args.value(1, ""), args.value(2, ""));
          } },
        { "update_calendar",
          [](WrenfoldApp& app, const BridgeArgs& args) {
              return app.update_calendar(args.text(0), args.text(1), args.required(2));
          } },
        { "delete_calendar",
          [](WrenfoldApp& app, const BridgeArgs& args) {
              return app.delete_calendar(args.text(0), args.text(1), args.value(2, false));
          } },
        { "set_reminder_settings",
          [](WrenfoldApp& app, const BridgeArgs& args) { return app.set_reminder_settings(args.required(0)); } },
        { "get_reminders", [](WrenfoldApp& app, const BridgeArgs&) { return app.get_reminders(); } },
        { "take_opened_file", [](WrenfoldApp& app, const BridgeArgs&) { return app.take_opened_file(); } },
        { "reminder_action",
          [](WrenfoldApp& app, const BridgeArgs& args) { return app.reminder_action(args.text(0), args.text(1)); } },

        // Events
        { "sync_now", [](WrenfoldApp& app, const BridgeArgs&) { return app.sync_now(); } },
        { "replace_account_password",
          [](WrenfoldApp& app, const BridgeArgs& args) {
              return app.replace_account_password(args.text(0), args.value(1, ""));
          } },
        { "search_events",
          [](WrenfoldApp& app, const BridgeArgs& args) {
              return app.search_events(args.value(0, ""), args.value(1, nullptr));
          } },
        { "create_event",
          [](WrenfoldApp& app, const BridgeArgs& args) {
              return app.create_event(args.text(0), args.text(1), args.required(2));
          } },
        { "update_event",
          [](WrenfoldApp& app, const BridgeArgs& args) {
              return app.update_event(args.text(0), args.text(1), args.text(2), args.required(3));
          } },
        { "move_event",
          [](WrenfoldApp& app, const BridgeArgs& args) {
              return app.move_event(args.text(0), args.text(1), args.text(2), args.text(3), args.text(4),
                                    args.required(5));
          } },
        { "delete_event",
          [](WrenfoldApp& app, const BridgeArgs& args) {
              return app.delete_event(args.text(0), args.text(1), args.optional_text(2), args.optional_text(3),
                                      args.optional_text(4));
          } },

        { "preview_ics",
          [](WrenfoldApp& app, const BridgeArgs& args) {
              return app.preview_ics(args.text(0), args.text(1), args.text(2));
          } },
        { "import_ics",
          [](WrenfoldApp& app, const BridgeArgs& args) {
              return app.import_ics(args.text(0), args.text(1), args.text(2), truthy(args.value(3)));
          } },
        { "export_ics",
          [](WrenfoldApp& app, const BridgeArgs& args) {
              return app.export_ics(args.text(0), args.text(1), args.optional_text(2), args.optional_text(3));
          } },
        { "get_event",
          [](WrenfoldApp& app, const BridgeArgs& args) { return app.get_event(args.text(0), args.text(1)); } },
        { "export_event",
          [](WrenfoldApp& app, const BridgeArgs& args) { return app.export_event(args.text(0), args.text(1)); } },
        { "restore_event",
          [](WrenfoldApp& app, const BridgeArgs& args) {
              return app.restore_event(args.text(0), args.text(1), args.text(2), args.text(3));
          } },

        // Taiwan holidays
        { "set_tw_holidays",
          [](WrenfoldApp& app, const BridgeArgs& args) { return app.set_tw_holidays(args.required(0)); } },
        { "get_holiday_names",
          [](WrenfoldApp& app, const BridgeArgs& args) {
              return app.get_holiday_names(args.required(0), args.required(1));
          } },
        { "get_lunar_dates",
          [](WrenfoldApp& app, const BridgeArgs& args) {
              return app.get_lunar_dates(args.required(0), args.required(1));
          } },
        { "set_reading_settings",
          [](WrenfoldApp& app, const BridgeArgs& args) { return app.set_reading_settings(args.required(0)); } },
        { "set_time_zone",
          [](WrenfoldApp& app, const BridgeArgs& args) { return app.set_time_zone(args.required(0)); } },

        // Desktop utilities
        { "open_url", [](WrenfoldApp& app, const BridgeArgs& args) { return app.open_url(args.value(0, "")); } },
        { "read_clipboard", [](WrenfoldApp& app, const BridgeArgs&) { return app.read_clipboard(); } },

        // Assistant: Claude Code discovery, setup and settings
        { "claude_ai_state", [](WrenfoldApp& app, const BridgeArgs&) { return app.claude_ai_state(); } },
        { "claude_status", [](WrenfoldApp& app, const BridgeArgs&) { return app.claude_status(); } },
        { "claude_find_executable",
          [](WrenfoldApp& app, const BridgeArgs& args) { return app.claude_find_executable(args.value(0, "")); } },
        { "install_claude_code", [](WrenfoldApp& app, const BridgeArgs&) { return app.install_claude_code(); } },
        { "dismiss_ai_setup", [](WrenfoldApp& app, const BridgeArgs&) { return app.dismiss_ai_setup(); } },
        { "reset_ai_setup", [](WrenfoldApp& app, const BridgeArgs&) { return app.reset_ai_setup(); } },
        { "start_claude_login", [](WrenfoldApp& app, const BridgeArgs&) { return app.start_claude_login(); } },
        { "claude_get_models", [](WrenfoldApp& app, const BridgeArgs&) { return app.claude_get_models(); } },
        { "set_claude_model",
          [](WrenfoldApp& app, const BridgeArgs& args) { return app.set_claude_model(args.required(0)); } },
        { "set_claude_provider",
          [](WrenfoldApp& app, const BridgeArgs& args) { return app.set_claude_provider(args.required(0)); } },
        { "set_claude_effort",
          [](WrenfoldApp& app, const BridgeArgs& args) { return app.set_claude_effort(args.required(0)); } },
        { "set_claude_api_key",
          [](WrenfoldApp& app, const BridgeArgs& args) { return app.set_claude_api_key(args.required(0)); } },
        { "claude_reset_session", [](WrenfoldApp& app, const BridgeArgs&) { return app.claude_reset_session(); } },
        { "claude_get_deepseek_credentials",
          [](WrenfoldApp& app, const BridgeArgs&) { return app.claude_get_deepseek_credentials(); } },
        { "set_claude_deepseek_credentials",
          [](WrenfoldApp& app, const BridgeArgs& args) {
              return app.set_claude_deepseek_credentials(args.required(0), args.value(1), args.value(2));
          } },
        { "claude_get_deepseek_models",
          [](WrenfoldApp& app, const BridgeArgs&) { return app.claude_get_deepseek_models(); } },
        { "set_claude_deepseek_model",
          [](WrenfoldApp& app, const BridgeArgs& args) { return app.set_claude_deepseek_model(args.required(0)); } },

        // Assistant: chat turns
        { "claude_send",
          [](WrenfoldApp& app, const BridgeArgs& args) {
              return app.claude_send(args.value(0), args.value(1, ""), args.value(2), args.value(3, 180),
                                     args.value(4, false), args.value(5));
          } },

        // Assistant: calendar actions, carried out after the user confirms
        { "claude_query_events",
          [](WrenfoldApp& app, const BridgeArgs& args) { return app.claude_query_events(args.required(0)); } },
        { "claude_create_event",
          [](WrenfoldApp& app, const BridgeArgs& args) { return app.claude_create_event(args.required(0)); } },
        { "claude_update_event",
          [](WrenfoldApp& app, const BridgeArgs& args) { return app.claude_update_event(args.required(0)); } },
        { "claude_delete_event",
          [](WrenfoldApp& app, const BridgeArgs& args) { return app.claude_delete_event(args.required(0)); } },
    };
    return table;
}

// Methods whose answer is written as JSON text: a month of events is megabytes.
using TextHandler = std::string (*)(WrenfoldApp&, const BridgeArgs&);

const std::map<std::string, TextHandler, std::less<>>& text_bridge_table()
{
    static const std::map<std::string, TextHandler, std::less<>> table {
        { "get_events",
          [](WrenfoldApp& app, const BridgeArgs& args) {
              return app._events_answer(args.required(0), args.required(1), args.value(2, false));
          } },
    };
    return table;
}

BridgeReply answer_of(WrenfoldApp& app, std::string_view method, const BridgeArgs& args)
{
    if (auto text = text_bridge_table().find(method); text != text_bridge_table().end())
        return { BridgeReply::Status::Ok, {}, {}, text->second(app, args) };
    return { BridgeReply::Status::Ok, bridge_table().find(method)->second(app, args), {}, {} };
}

}  // namespace

bool AppBridge::has_method(std::string_view method) const
{
    return !method.starts_with('_') && (bridge_table().contains(method) || text_bridge_table().contains(method));
}

BridgeReply AppBridge::call(std::string_view method, const Json& args)
{
    if (!has_method(method))
        return { BridgeReply::Status::NoSuchMethod, {}, {}, {} };
    if (!args.is_array())
        return { BridgeReply::Status::Failed, {}, "the arguments must be a JSON array", {} };
    try {
        return answer_of(m_app, method, BridgeArgs(args));
    } catch (const std::exception& error) {
        return { BridgeReply::Status::Failed, {}, error.what(), {} };
    } catch (...) {
        return { BridgeReply::Status::Failed, {}, "unknown error", {} };
    }
}

std::vector<std::string> AppBridge::method_names()
{
    std::vector<std::string> names;
    for (const auto& [name, handler] : bridge_table())
        names.push_back(name);
    for (const auto& [name, handler] : text_bridge_table())
        names.push_back(name);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace wrenfold
