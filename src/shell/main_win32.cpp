// wrenfold [--browser] [--port N] [--no-open] [--help] [--version]
#include "core/wide_text.h"
#include "platform/end_signals.h"
#include "platform/windows_process.h"
#include "shell/command_line.h"
#include "shell/entry.h"
#include "shell/launcher.h"
#include "shell/one_instance.h"
#include "sync/worker_process.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace {

// The arguments as the user typed them, in UTF-8 (main's own are in the
// system's code page, which cannot hold every folder name).
std::vector<std::string> utf8_arguments()
{
    std::vector<std::string> arguments;
    int count = 0;
    if (wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i)
            arguments.push_back(wrenfold::from_wide(wide[i]));
        ::LocalFree(wide);
    }
    return arguments;
}

}  // namespace

int main()
{
    // The application starts this same program as its sync worker.
    if (const char* handoff = std::getenv(wrenfold::sync::kWorkerMarker))
        return wrenfold::sync::sync_worker_main(handoff);

    wrenfold::platform::use_parent_console();
    wrenfold::platform::prepare_windows_process();
    std::vector<std::string> arguments = utf8_arguments();
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    wrenfold::LaunchOptions options;
    try {
        options = wrenfold::parse_command_line(static_cast<int>(arguments.size()), argv.data());
    } catch (const std::exception& error) {
        std::cerr << "wrenfold: " << error.what() << "\n" << wrenfold::usage_text();
        return 2;
    }
    // --help, --version, and a start that only brings the running one forward.
    if (auto status = wrenfold::finish_before_start(options))
        return *status;
    wrenfold::platform::watch_console_end_events();
    try {
        int status = wrenfold::run_launcher(
            [&options](wrenfold::platform::QueueMap queues, wrenfold::platform::EventMap events) {
                try {
                    wrenfold::GUI(std::move(queues), std::move(events), options);
                    return 0;
                } catch (...) {
                    return 1;
                }
            });
        wrenfold::platform::end_handled();
        return status;
    } catch (const std::exception& error) {
        std::cerr << "wrenfold: " << error.what() << "\n";
        wrenfold::platform::end_handled();
        return 1;
    }
}
