#pragma once

#include "platform/environment.h"

#include <string>
#include <vector>

namespace wrenfold::platform {

// Opens a terminal window running a command, for the user to interact with,
// and returns without waiting for it.
class TerminalLauncher {
public:
    virtual ~TerminalLauncher() = default;
    // Throws PlatformError (or std::system_error) when no window could be opened.
    virtual void open(const std::vector<std::string>& command) = 0;
};

// The desktop's terminal: x-terminal-emulator, else gnome-terminal, konsole,
// xterm, whichever the PATH of the environment has first. The command runs in
// an interactive shell that stays open after it ends, so the user can read
// what it printed.
class DesktopTerminalLauncher final : public TerminalLauncher {
public:
    explicit DesktopTerminalLauncher(const Environment& environment)
        : m_environment(environment)
    {
    }
    void open(const std::vector<std::string>& command) override;

private:
    const Environment& m_environment;
};

// The argument vector that opens `terminal` (a path to one of the programs
// above) running command in a shell that stays open.
std::vector<std::string> terminal_command_line(const std::string& terminal, const std::vector<std::string>& command);

// Starts argv as a daemon-like process: detached from us, reaped by init,
// never waited for. Throws std::system_error when it cannot be executed.
void start_detached(const std::vector<std::string>& argv, const std::vector<std::string>& environment);

}  // namespace wrenfold::platform
