#include "core/json.h"

#include <gtest/gtest.h>

using wrenfold::Json;

TEST(JsonTruthiness, EmptyValuesAreFalse)
{
    for (const Json& falsy :
         { Json(nullptr), Json(false), Json(0), Json(0.0), Json(""), Json::array(), Json::object() }) {
        SCOPED_TRACE(falsy.dump());
        EXPECT_FALSE(wrenfold::truthy(falsy));
    }
}

TEST(JsonTruthiness, EverythingElseIsTrue)
{
    for (const Json& truthy : { Json(true), Json(1), Json(-1), Json(0.5), Json("0"), Json(" "), Json::array({ 0 }),
                                Json::object({ { "a", nullptr } }) }) {
        SCOPED_TRACE(truthy.dump());
        EXPECT_TRUE(wrenfold::truthy(truthy));
    }
}

TEST(JsonTextForm, MatchesHowValuesReadInMessages)
{
    EXPECT_EQ(wrenfold::text_form(Json("a{b}")), "a{b}");
    EXPECT_EQ(wrenfold::text_form(Json(180)), "180");
    EXPECT_EQ(wrenfold::text_form(Json(-7)), "-7");
    EXPECT_EQ(wrenfold::text_form(Json(true)), "true");
    EXPECT_EQ(wrenfold::text_form(Json(nullptr)), "null");
}

TEST(JsonPretty, KeepsKeyOrderAndNonAsciiWithoutTrailingNewline)
{
    Json value = Json::object();
    value["zeta"] = "台灣節日";
    value["alpha"] = Json::array();
    value["mid"] = Json::object();
    value["list"] = { 1, 2 };
    EXPECT_EQ(wrenfold::dump_pretty(value),
              "{\n  \"zeta\": \"台灣節日\",\n  \"alpha\": [],\n  \"mid\": {},\n"
              "  \"list\": [\n    1,\n    2\n  ]\n}");
}

TEST(JsonNesting, CountsOnlyBracketsOutsideStrings)
{
    struct Case {
        std::string text;
        std::size_t limit;
        bool exceeds;
    };
    const Case cases[] = {
        { std::string(3, '[') + std::string(3, ']'), 3, false },
        { std::string(4, '['), 3, true },
        { R"({"a": {"b": [[1]]}})", 3, true },
        { R"(["[[[[", "\"{{{{", {"k\\": "[["}])", 2, false },
        // Closing brackets never bring the depth below zero.
        { "]]]]][[[[", 3, true },
        { "[[][][]]", 2, false },
    };
    for (const auto& [text, limit, exceeds] : cases) {
        SCOPED_TRACE(text + " within " + std::to_string(limit));
        EXPECT_EQ(wrenfold::json_nesting_exceeds(text, limit), exceeds);
    }
}

namespace {

std::string deepest_allowed()
{
    return std::string(wrenfold::kMaxJsonDepth, '[') + std::string(wrenfold::kMaxJsonDepth, ']');
}

}  // namespace

TEST(ParseJson, AcceptsTheDeepestAllowedNesting)
{
    EXPECT_EQ(wrenfold::parse_json(deepest_allowed()).size(), 1u);
}

TEST(ParseJson, RefusesNestingOneLevelDeeper)
{
    EXPECT_THROW(wrenfold::parse_json("[" + deepest_allowed() + "]"), wrenfold::JsonTooDeep);
    EXPECT_TRUE(wrenfold::parse_json_or_discarded("[" + deepest_allowed() + "]").is_discarded());
}

TEST(ParseJson, BrokenTextIsAParseError)
{
    EXPECT_THROW(wrenfold::parse_json("[1,"), Json::parse_error);
}
