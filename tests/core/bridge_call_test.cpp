#include "core/bridge_call.h"

#include <gtest/gtest.h>

#include <optional>

namespace wrenfold {
namespace {

TEST(BridgeCall, AStringValueIsTheTextOfAStringAndNothingElse)
{
    struct Case {
        Json value;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        { "key", "key" },
        { "", "" },
        { " a\nb ", " a\nb " },
        { nullptr, std::nullopt },
        { 7, std::nullopt },
        { true, std::nullopt },
        { Json::array({ "k" }), std::nullopt },
        { Json::object({ { "k", "v" } }), std::nullopt },
    };
    for (const auto& [value, expected] : cases) {
        SCOPED_TRACE(value.dump());
        EXPECT_EQ(string_value(value), expected);
    }
}

// Three arguments: a text, a null and a number; a fourth is absent.
class BridgeArguments : public ::testing::Test {
protected:
    Json array = Json::array({ "text", nullptr, 3 });
    BridgeArgs args { array };
};

TEST_F(BridgeArguments, TextReadsANullAsEmpty)
{
    EXPECT_EQ(args.text(0), "text");
    EXPECT_EQ(args.text(1), "");
}

TEST_F(BridgeArguments, TextOrFallsBackOnlyWhenTheArgumentIsAbsent)
{
    EXPECT_EQ(args.text_or(1, "fallback"), "");
    EXPECT_EQ(args.text_or(3, "fallback"), "fallback");
}

TEST_F(BridgeArguments, OptionalTextIsEmptyForANullAndForAnAbsentArgument)
{
    EXPECT_EQ(args.optional_text(0), "text");
    EXPECT_EQ(args.optional_text(1), std::nullopt);
    EXPECT_EQ(args.optional_text(3), std::nullopt);
}

TEST_F(BridgeArguments, ValueFallsBackOnlyWhenTheArgumentIsAbsent)
{
    EXPECT_EQ(args.value(2), 3);
    EXPECT_EQ(args.value(3, "absent"), "absent");
}

template <typename Read> std::string refusal(Read read)
{
    try {
        read();
    } catch (const BridgeArgumentError& error) {
        return error.what();
    }
    return "no refusal";
}

TEST_F(BridgeArguments, AMissingRequiredArgumentIsRefusedWithItsPosition)
{
    EXPECT_EQ(refusal([&] { (void)args.required(3); }), "missing argument 4");
}

TEST_F(BridgeArguments, ANumberWhereTextIsWantedIsRefusedWithItsPosition)
{
    EXPECT_EQ(refusal([&] { (void)args.text(2); }), "argument 3 must be a string");
    EXPECT_EQ(refusal([&] { (void)args.optional_text(2); }), "argument 3 must be a string");
    EXPECT_EQ(refusal([&] { (void)args.text_or(2, "fallback"); }), "argument 3 must be a string");
}

}  // namespace
}  // namespace wrenfold
