#include "app/bridge_table.h"

#include "app/wrenfold_app.h"

#include <map>

namespace wrenfold {

namespace {

using Handler = Json (*)(WrenfoldApp&, const BridgeArgs&);

const std::map<std::string, Handler, std::less<>>& bridge_table()
{
    static const std::map<std::string, Handler, std::less<>> table {
        // Language and page bootstrap
        { "set_language", [](WrenfoldApp& app, const BridgeArgs& args) { return app.set_language(args.required(0)); } },
        { "get_images", [](WrenfoldApp& app, const BridgeArgs&) { return app.get_images(); } },
        { "get_initial_state", [](WrenfoldApp& app, const BridgeArgs&) { return app.get_initial_state(); } },

        // Accounts
        { "list_accounts", [](WrenfoldApp& app, const BridgeArgs&) { return app.list_accounts(); } },

        // Taiwan holidays
        { "set_tw_holidays", [](WrenfoldApp& app, const BridgeArgs& args) { return app.set_tw_holidays(args.required(0)); } },
    };
    return table;
}

}  // namespace

bool AppBridge::has_method(std::string_view method) const
{
    return !method.starts_with('_') && bridge_table().contains(method);
}

BridgeReply AppBridge::call(std::string_view method, const Json& args)
{
    auto found = bridge_table().find(method);
    if (method.starts_with('_') || found == bridge_table().end())
        return { BridgeReply::Status::NoSuchMethod, {}, {} };
    if (!args.is_array())
        return { BridgeReply::Status::Failed, {}, "the arguments must be a JSON array" };
    try {
        return { BridgeReply::Status::Ok, found->second(m_app, BridgeArgs(args)), {} };
    } catch (const std::exception& error) {
        return { BridgeReply::Status::Failed, {}, error.what() };
    } catch (...) {
        return { BridgeReply::Status::Failed, {}, "unknown error" };
    }
}

std::vector<std::string> AppBridge::method_names()
{
    std::vector<std::string> names;
    for (const auto& [name, handler] : bridge_table())
        names.push_back(name);
    return names;
}

}  // namespace wrenfold
