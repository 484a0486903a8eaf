#pragma once

#include "core/bridge_call.h"

#include <string>
#include <vector>

namespace wrenfold {

class WrenfoldApp;

// The page's script bridge: every public method of the application object by
// name. Handlers take the positional arguments; missing trailing ones take the
// method's defaults.
class AppBridge final : public BridgeTarget {
public:
    explicit AppBridge(WrenfoldApp& app)
        : m_app(app)
    {
    }

    bool has_method(std::string_view method) const override;
    BridgeReply call(std::string_view method, const Json& args) override;

    static std::vector<std::string> method_names();

private:
    WrenfoldApp& m_app;
};

}  // namespace wrenfold
