#include "platform/child_process.h"

namespace wrenfold::platform {

ProcessResult run_process(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                          std::chrono::milliseconds timeout)
{
    auto child = ChildProcess::start(argv, environment);
    if (auto result = child->communicate({}, timeout))
        return *result;
    child->kill_tree();
    (void)child->communicate({}, std::chrono::seconds(2));
    throw ProcessTimeout("timed out after " + std::to_string(timeout.count() / 1000) + " seconds");
}

}  // namespace wrenfold::platform
