#include "assistant/assistant_platform.h"

#include "platform/environment.h"
#include "platform/http_client.h"
#include "platform/terminal_launcher.h"
#include "platform/user_path_store.h"

namespace wrenfold::assistant {

AssistantPlatform AssistantPlatform::for_this_process()
{
    auto environment = std::make_shared<platform::ProcessEnvironment>();
    auto terminal = std::make_shared<platform::DesktopTerminalLauncher>(*environment);
    return AssistantPlatform {
        environment,
        std::make_shared<platform::NoUserPathStore>(),
        terminal,
        std::make_shared<platform::CurlHttpClient>(),
        // Without pipefail a failed download would pipe nothing into bash,
        // which succeeds.
        { "bash", "-c", "set -o pipefail; curl -fsSL https://claude.ai/install.sh | bash" },
        std::chrono::seconds(300),
    };
}

}  // namespace wrenfold::assistant
