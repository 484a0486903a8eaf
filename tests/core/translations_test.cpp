#include "core/translations.h"

#include <gtest/gtest.h>

using wrenfold::Json;
using wrenfold::translate;
using wrenfold::translation_table;

TEST(TranslationTable, BothLanguagesHoldTheSameKeys)
{
    const auto& table = translation_table();
    ASSERT_EQ(table.size(), 2u);
    const auto& english = table.at("en");
    const auto& chinese = table.at("zh-Hant");
    ASSERT_EQ(english.size(), chinese.size());
    for (const auto& [key, text] : english)
        EXPECT_TRUE(chinese.contains(key)) << key;
    EXPECT_GE(english.size(), 28u);
}

TEST(Translate, PicksTheLanguageFallsBackToEnglishThenToTheKey)
{
    const auto& table = translation_table();
    EXPECT_EQ(translate(table, "zh-Hant", "err.account.dup", { { "id", "Alice@Example.com" } }),
              "這個 Apple ID 已經加入過了：Alice@Example.com");
    EXPECT_EQ(translate(table, "zh_TW", "tray.quit"), "Quit");
    EXPECT_EQ(translate(table, "zh-Hant", "err.no.such.key", { { "x", 1 } }), "err.no.such.key");
    EXPECT_EQ(translate(table, "en", "err.claude_timeout", { { "n", 180 } }),
              "Claude response timed out (180 seconds).");
    EXPECT_TRUE(translate(table, "en", "hint.claude.not_found")
                    .starts_with("Cannot find claude executable. Please install Claude Code first: https://"));
}

TEST(Translate, TemplatesThatCannotBeFilledComeBackUnchanged)
{
    const auto& table = translation_table();
    const std::string auth = table.at("en").at("err.account.auth");
    EXPECT_EQ(translate(table, "en", "err.account.auth"), auth);
    EXPECT_EQ(translate(table, "en", "err.account.auth", { { "err", "x" } }), auth);
    EXPECT_NE(auth.find("{status}"), std::string::npos);
    EXPECT_EQ(translate(table, "en", "err.account.auth", { { "status", 401 }, { "unused", true } }),
              "iCloud sign-in failed (HTTP 401). Check the Apple ID and app-specific password.");
}

TEST(FillTemplate, BracesAndPlaceholders)
{
    EXPECT_EQ(wrenfold::fill_template("{{literal}} {a}-{b}", { { "a", "x" }, { "b", 2 } }), "{literal} x-2");
    EXPECT_EQ(wrenfold::fill_template("}} and {{", { { "a", 1 } }), "} and {");
    EXPECT_EQ(wrenfold::fill_template("{a}", { { "a", nullptr } }), "null");
    EXPECT_EQ(wrenfold::fill_template("{a}", { { "a", false } }), "false");
    EXPECT_FALSE(wrenfold::fill_template("{missing}", { { "a", 1 } }));
    EXPECT_FALSE(wrenfold::fill_template("lone } brace", { { "a", 1 } }));
    EXPECT_FALSE(wrenfold::fill_template("open {a", { { "a", 1 } }));
    EXPECT_FALSE(wrenfold::fill_template("empty {}", { { "a", 1 } }));
}
