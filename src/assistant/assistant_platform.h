#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace wrenfold::platform {
class Environment;
class HttpClient;
class TerminalLauncher;
class UserPathStore;
}  // namespace wrenfold::platform

namespace wrenfold::assistant {

// The operating-system services the assistant uses, given to the application
// object so that tests can hand it private ones.
struct AssistantPlatform {
    std::shared_ptr<platform::Environment> environment;
    std::shared_ptr<platform::UserPathStore> user_path;
    std::shared_ptr<platform::TerminalLauncher> terminal;
    std::shared_ptr<platform::HttpClient> http;
    // The command that installs Claude Code, and how long it may take.
    std::vector<std::string> installer_command;
    std::chrono::seconds installer_timeout { 300 };

    // The real ones: the process environment, no user PATH store (Linux has
    // none), the desktop's terminal, libcurl and Claude Code's official
    // installer script for Linux.
    static AssistantPlatform for_this_process();
};

}  // namespace wrenfold::assistant
