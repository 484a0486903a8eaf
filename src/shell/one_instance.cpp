#include "shell/one_instance.h"

#include "core/app_paths.h"
#include "core/utf8_path.h"
#include "platform/single_instance.h"
#include "shell/command_line.h"

#include <iostream>

#include <ostream>

namespace wrenfold {

using namespace std::chrono_literals;

std::optional<int> claim_or_hand_over(const std::filesystem::path& data_directory, LaunchOptions& options,
                                      std::ostream& out)
{
    if (auto claim = platform::InstanceChannel::claim(data_directory)) {
        options.instance = std::move(claim);
        return std::nullopt;
    }
    std::string request(platform::kShowRequest);
    if (!options.open_file.empty()) {
        auto open = platform::open_request(options.open_file);
        if (!open) {
            out << "Wrenfold cannot open " << utf8_text(options.open_file) << ": its path is too long." << std::endl;
            return 1;
        }
        request = *open;
    }
    auto answer = platform::ask_running_instance(data_directory, 10s, request);
    if (!answer) {
        out << "Wrenfold is already running for " << utf8_text(data_directory) << " but does not answer." << std::endl;
        return 1;
    }
    if (answer->starts_with(platform::kRefusedAnswerPrefix)) {
        out << "Wrenfold cannot open " << utf8_text(options.open_file) << ": "
            << answer->substr(platform::kRefusedAnswerPrefix.size()) << std::endl;
        return 1;
    }
    if (answer->starts_with(platform::kAddressAnswerPrefix))
        out << "Wrenfold is running at " << answer->substr(platform::kAddressAnswerPrefix.size()) << std::endl;
    else
        out << "Wrenfold is already running; its window is shown." << std::endl;
    return 0;
}

std::optional<int> finish_before_start(LaunchOptions& options)
{
    if (options.show_help) {
        std::cout << help_text() << std::flush;
        return 0;
    }
    if (options.show_version) {
        std::cout << version_text() << std::flush;
        return 0;
    }
    // The running instance has another working folder: it is handed the full path.
    if (!options.open_file.empty()) {
        std::error_code ignored;
        if (auto absolute = std::filesystem::absolute(options.open_file, ignored); !ignored)
            options.open_file = absolute.lexically_normal();
    }
    return claim_or_hand_over(AppPaths::for_this_process().data_directory, options, std::cout);
}

}  // namespace wrenfold
