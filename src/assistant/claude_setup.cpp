// Installing Claude Code, making it reachable without a restart, and signing in.
#include "app/wrenfold_app.h"

#include "assistant/exe_discovery.h"
#include "assistant/path_merge.h"
#include "core/bridge_answer.h"
#include "core/log.h"
#include "platform/child_process.h"
#include "platform/command_lookup.h"
#include "platform/environment.h"
#include "platform/terminal_launcher.h"
#include "platform/user_path_store.h"

namespace wrenfold {

using namespace assistant;

namespace {

// The first `count` characters (not bytes) of UTF-8 text.
std::string first_characters(const std::string& text, std::size_t count)
{
    std::size_t end = 0;
    for (std::size_t seen = 0; end < text.size() && seen < count; ++seen) {
        ++end;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            ++end;
    }
    return text.substr(0, end);
}

// Where the installers put Claude Code, in the order they are added to PATH.
std::vector<std::string> install_folders(const platform::Environment& environment)
{
    std::vector<std::string> folders;
    auto home = home_folder(environment);
    if (!home.empty())
        folders.push_back(home + "/.local/bin");
    auto local_app_data = environment.get_or_empty("LOCALAPPDATA");
    if (!local_app_data.empty())
        folders.push_back(local_app_data + "/Programs/claude");
    return folders;
}

}  // namespace

Json WrenfoldApp::install_claude_code()
{
    try {
        auto run =
            platform::run_process(m_assistant_platform.installer_command, m_assistant_platform.environment->snapshot(),
                                  m_assistant_platform.installer_timeout);
        if (run.exit_code != 0) {
            log_line("[claude install]",
                     "exit=" + std::to_string(run.exit_code) + " stderr=" + first_characters(run.err, 500));
            return failed_answer_with();
        }
    } catch (const platform::ProcessTimeout&) {
        return failed_answer_with();
    } catch (const std::exception& error) {
        log_line("[claude install]", std::string("subprocess failed: ") + error.what());
        return failed_answer_with();
    }
    m_claude_exe.replace(std::nullopt);
    try {
        _refresh_user_path_after_install();
    } catch (const std::exception& error) {
        log_line("[claude install]", std::string("PATH refresh skipped: ") + error.what());
    }
    return _resolve_claude_exe() ? ok_answer() : failed_answer_with();
}

void WrenfoldApp::_refresh_user_path_after_install()
{
    auto& environment = *m_assistant_platform.environment;
    auto& store = *m_assistant_platform.user_path;
    std::string user_path;
    try {
        user_path = store.read();
    } catch (const std::exception&) {
        user_path = "";
    }
    auto update = add_install_folders(user_path, install_folders(environment), platform::is_directory, kPosixPaths);
    if (update.changed) {
        try {
            store.write(update.value);
        } catch (const std::exception&) {
        }
        try {
            store.broadcast_change();
        } catch (const std::exception&) {
        }
    }
    environment.set("PATH", merge_user_path(environment.get_or_empty("PATH"), update.value, kPosixPaths));
}

Json WrenfoldApp::dismiss_ai_setup()
{
    _ai_setup_dismissed_this_session = true;
    return ok_answer();
}

Json WrenfoldApp::reset_ai_setup()
{
    _ai_setup_dismissed_this_session = false;
    return ok_answer();
}

Json WrenfoldApp::start_claude_login()
{
    if (!_resolve_claude_exe())
        return failed_answer("claude_not_installed");
    return answer_or_failure([&] {
        // The terminal's shell finds claude along the (possibly refreshed) PATH.
        m_assistant_platform.terminal->open({ "claude", "login" });
        return ok_answer();
    });
}

}  // namespace wrenfold
