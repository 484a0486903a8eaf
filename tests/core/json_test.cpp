#include "core/json.h"

#include <gtest/gtest.h>

using wrenfold::Json;

TEST(JsonTruthiness, EmptyValuesAreFalseEverythingElseTrue)
{
    for (const Json& falsy : {Json(nullptr), Json(false), Json(0), Json(0.0), Json(""),
                              Json::array(), Json::object()})
        EXPECT_FALSE(wrenfold::truthy(falsy)) << falsy.dump();
    for (const Json& truthy : {Json(true), Json(1), Json(-1), Json(0.5), Json("0"), Json(" "),
                               Json::array({0}), Json::object({{"a", nullptr}})})
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
    value["list"] = {1, 2};
    EXPECT_EQ(wrenfold::dump_pretty(value),
              "{\n  \"zeta\": \"台灣節日\",\n  \"alpha\": [],\n  \"mid\": {},\n"
              "  \"list\": [\n    1,\n    2\n  ]\n}");
}
