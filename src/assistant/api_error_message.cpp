// Provider errors as the user reads them.
#include "app/wrenfold_app.h"

#include "assistant/api_error.h"

namespace wrenfold {

std::string WrenfoldApp::_humanize_claude_api_error(const Json& data) const
{
    return assistant::humanize_api_error(
        data, claude_provider(), [this](const std::string& key, const Json& values) { return _t(key, values); });
}

}  // namespace wrenfold
