#include "platform/terminal_launcher.h"

#include "platform/win32/process_launch.h"

#include <windows.h>

#include <stdexcept>

namespace wrenfold::platform {

std::vector<std::string> terminal_command_line(const std::string& terminal, const std::vector<std::string>& command)
{
    // PowerShell in a console of its own; -NoExit keeps the window open
    // after the command, so the user can read what it printed. Each word
    // goes as a quoted PowerShell string: '' is its only escape.
    std::string script = "&";
    for (const auto& word : command) {
        std::string quoted = "'";
        for (char c : word)
            quoted += c == '\'' ? std::string("''") : std::string(1, c);
        script += " " + quoted + "'";
    }
    return { terminal, "-NoProfile", "-NoExit", "-Command", script };
}

void DesktopTerminalLauncher::open(const std::vector<std::string>& command)
{
    start_detached(terminal_command_line("powershell", command), m_environment.snapshot());
}

void start_detached(const std::vector<std::string>& argv, const std::vector<std::string>& environment)
{
    if (argv.empty())
        throw std::invalid_argument("empty command line");
    LaunchRequest request;
    request.argv = argv;
    request.environment = environment;
    request.creation_flags = CREATE_NEW_CONSOLE;
    request.in_job = false;  // the console outlives us
    launch_process(request);
}

}  // namespace wrenfold::platform
