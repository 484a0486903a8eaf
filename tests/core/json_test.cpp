#include "core/json.h"

#include <gtest/gtest.h>

using wrenfold::Json;

TEST(JsonTruthiness, EmptyValuesAreFalseEverythingElseTrue)
{
    for (const Json& falsy :
         { Json(nullptr), Json(false), Json(0), Json(0.0), Json(""), Json::array(), Json::object() })
        EXPECT_FALSE(wrenfold::truthy(falsy)) << falsy.dump();
    for (const Json& truthy : { Json(true), Json(1), Json(-1), Json(0.5), Json("0"), Json(" "), Json::array({ 0 }),
                                Json::object({ { "a", nullptr } }) })
        EXPECT_TRUE(wrenfold::truthy(truthy)) << truthy.dump();
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
    using wrenfold::json_nesting_exceeds;
    EXPECT_FALSE(json_nesting_exceeds(std::string(3, '[') + std::string(3, ']'), 3));
    EXPECT_TRUE(json_nesting_exceeds(std::string(4, '['), 3));
    EXPECT_TRUE(json_nesting_exceeds(R"({"a": {"b": [[1]]}})", 3));
    EXPECT_FALSE(json_nesting_exceeds(R"(["[[[[", "\"{{{{", {"k\\": "[["}])", 2));
    // Closing brackets never bring the depth below zero.
    EXPECT_TRUE(json_nesting_exceeds("]]]]][[[[", 3));
    EXPECT_FALSE(json_nesting_exceeds("[[][][]]", 2));

    std::string deepest_allowed = std::string(wrenfold::kMaxJsonDepth, '[') + std::string(wrenfold::kMaxJsonDepth, ']');
    EXPECT_EQ(wrenfold::parse_json(deepest_allowed).size(), 1u);
    EXPECT_THROW(wrenfold::parse_json("[" + deepest_allowed + "]"), wrenfold::JsonTooDeep);
    EXPECT_TRUE(wrenfold::parse_json_or_discarded("[" + deepest_allowed + "]").is_discarded());
    EXPECT_THROW(wrenfold::parse_json("[1,"), Json::parse_error);
}
