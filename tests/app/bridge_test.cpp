#include "app/bridge_table.h"

#include "support/app_fixture.h"

#include <gtest/gtest.h>

using wrenfold::AppBridge;
using wrenfold::BridgeReply;
using wrenfold::Json;
using wrenfold::testing::AppFolders;

TEST(Bridge, OnlyPublicMethodsAreCallable)
{
    AppFolders folders;
    auto app = folders.make_app();
    AppBridge bridge(*app);

    for (const std::string& name : AppBridge::method_names()) {
        EXPECT_FALSE(name.starts_with("_")) << name;
        EXPECT_TRUE(bridge.has_method(name)) << name;
    }
    for (const char* name : { "_save_settings", "_t", "_shutdown", "no_such_method", "" }) {
        EXPECT_FALSE(bridge.has_method(name)) << name;
        EXPECT_EQ(bridge.call(name, Json::array()).status, BridgeReply::Status::NoSuchMethod) << name;
    }
}

TEST(Bridge, CallsTheMethodWithPositionalArguments)
{
    AppFolders folders;
    auto app = folders.make_app();
    AppBridge bridge(*app);

    BridgeReply reply = bridge.call("set_language", Json::array({ "zh-Hant" }));
    ASSERT_EQ(reply.status, BridgeReply::Status::Ok);
    EXPECT_EQ(reply.result, Json::parse(R"({"ok": true, "language": "zh-Hant"})"));
    EXPECT_EQ(app->setting("language"), "zh-Hant");

    reply = bridge.call("list_accounts", Json::array({ "ignored extra argument" }));
    EXPECT_EQ(reply.status, BridgeReply::Status::Ok);
}

TEST(Bridge, AMethodThatFailsBecomesABridgeErrorNotACrash)
{
    AppFolders folders;
    auto app = folders.make_app();
    AppBridge bridge(*app);

    BridgeReply missing = bridge.call("set_language", Json::array());
    EXPECT_EQ(missing.status, BridgeReply::Status::Failed);
    EXPECT_EQ(missing.error, "missing argument 1");

    BridgeReply wrong_kind = bridge.call("set_language", Json::object());
    EXPECT_EQ(wrong_kind.status, BridgeReply::Status::Failed);
    EXPECT_EQ(app->setting("language"), "en");
}
