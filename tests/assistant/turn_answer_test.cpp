#include "assistant/turn_answer.h"

#include <gtest/gtest.h>

using namespace wrenfold::assistant;
using Kind = TurnAnswer::Kind;

TEST(TurnAnswer, AJsonAnswerGivesItsResultAndSession)
{
    auto reply = interpret_turn_output(0, R"({"session_id":"s1","result":"  hi  ","text":"other"})", "", false);
    EXPECT_EQ(reply.kind, Kind::Reply);
    EXPECT_EQ(reply.text, "  hi  ");
    EXPECT_EQ(reply.session_id, "s1");
}

TEST(TurnAnswer, AnyOtherOutputOfASuccessfulRunIsTheReplyText)
{
    struct Case {
        const char* out;
        const char* text;
    };
    for (auto [out, text] :
         { Case { R"({"result":"","text":"fallback"})", "fallback" }, Case { "  plain answer\n", "plain answer" },
           Case { R"("a json string")", "a json string" }, Case { "[1,2]", "[1,2]" } }) {
        SCOPED_TRACE(out);
        auto reply = interpret_turn_output(0, out, "", false);
        EXPECT_EQ(reply.kind, Kind::Reply);
        EXPECT_EQ(reply.text, text);
    }
}

TEST(TurnAnswer, AnErrorAnswerOfASuccessfulRunIsAProviderError)
{
    auto error = interpret_turn_output(0, R"({"is_error":true,"session_id":"s2","result":"API Error"})", "", true);
    EXPECT_EQ(error.kind, Kind::ApiError);
    EXPECT_EQ(error.session_id, "s2");  // an error answer still carries the conversation on
    EXPECT_EQ(error.error_object["result"], "API Error");
}

TEST(TurnAnswer, NonZeroExits)
{
    auto stale = interpret_turn_output(1, "", "No conversation found with SESSION ID x", true);
    EXPECT_EQ(stale.kind, Kind::StaleSession);
    auto not_resumed = interpret_turn_output(1, "", "No conversation found with SESSION ID x", false);
    EXPECT_EQ(not_resumed.kind, Kind::Failure);
    EXPECT_EQ(not_resumed.text, "No conversation found with SESSION ID x");

    // Claude Code's error answer names its session: still a provider error, not a stale session.
    auto api = interpret_turn_output(1, R"({"is_error":true,"result":"API Error: 429","session_id":"s"})", "  ", true);
    EXPECT_EQ(api.kind, Kind::ApiError);
    EXPECT_FALSE(api.session_id);
    EXPECT_EQ(interpret_turn_output(2, "  out text ", "", false).text, "out text");
    EXPECT_EQ(interpret_turn_output(7, "", "", false).text, "claude exit code 7");
    EXPECT_EQ(interpret_turn_output(-9, "", "", false).text, "claude exit code -9");
}

TEST(TurnAnswer, ARunThatAnsweredIsNeverTakenForAStaleSession)
{
    // The answer names the session the turn ran in: the work is done, and
    // running the message again without the conversation would do it twice.
    auto ran = interpret_turn_output(
        1, R"({"type":"result","is_error":false,"session_id":"s1","result":"Done, I looked the place up."})",
        "warning: could not write the session file", true);
    EXPECT_EQ(ran.kind, Kind::Failure);
    EXPECT_EQ(ran.text, "warning: could not write the session file");
}
