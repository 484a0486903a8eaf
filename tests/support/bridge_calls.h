#pragma once

#include "app/bridge_table.h"

#include <gtest/gtest.h>

#include <string>

namespace wrenfold::testing {

// A reply's result as a tree, also when it was answered as written text.
inline Json reply_result(const BridgeReply& reply)
{
    return reply.result_json.empty() ? reply.result : parse_json(reply.result_json);
}

// A bridge call that is expected to answer (a method's own failure object is
// still an answer); a bridge error fails the test with the method's name.
inline Json call(AppBridge& bridge, const std::string& method, Json args = Json::array())
{
    BridgeReply reply = bridge.call(method, args);
    EXPECT_EQ(reply.status, BridgeReply::Status::Ok) << method << ": " << reply.error;
    return reply_result(reply);
}

}  // namespace wrenfold::testing
