#include "core/bridge_answer.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace wrenfold {
namespace {

TEST(BridgeAnswer, OkComesFirstAndTheRestKeepsItsOrder)
{
    Json extra = Json::object({ { "url", "u" }, { "etag", "e" }, { "account_id", "a" } });
    EXPECT_EQ(ok_answer(extra).dump(), R"({"ok":true,"url":"u","etag":"e","account_id":"a"})");
    EXPECT_EQ(ok_answer().dump(), R"({"ok":true})");
}

TEST(BridgeAnswer, AFailureNamesItsErrorBeforeTheMethodsOwnKeys)
{
    EXPECT_EQ(failed_answer("gone").dump(), R"({"ok":false,"error":"gone"})");
    EXPECT_EQ(failed_answer("bad key", Json::object({ { "path", "/p" }, { "reply", "" } })).dump(),
              R"({"ok":false,"error":"bad key","path":"/p","reply":""})");
}

TEST(BridgeAnswer, AFailureWithoutTextKeepsTheKeysInTheCallersOrder)
{
    EXPECT_EQ(failed_answer_with().dump(), R"({"ok":false})");
    EXPECT_EQ(failed_answer_with(Json::object({ { "cancelled", true }, { "error", "" } })).dump(),
              R"({"ok":false,"cancelled":true,"error":""})");
}

TEST(BridgeAnswer, WhatTheBodyThrowsBecomesTheFailureText)
{
    Json failed = answer_or_failure([]() -> Json { throw std::runtime_error("HTTP 412"); });
    EXPECT_EQ(failed.dump(), R"({"ok":false,"error":"HTTP 412"})");
    EXPECT_EQ(answer_or_failure([] { return ok_answer(); }), ok_answer());
}

}  // namespace
}  // namespace wrenfold
