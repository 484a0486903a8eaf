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

TEST(Translate, PicksTheLanguageAndFillsTheTemplate)
{
    const auto& table = translation_table();
    EXPECT_EQ(translate(table, "zh-Hant", "err.account.dup", { { "id", "Alice@Example.com" } }),
              "這個 Apple ID 已經加入過了：Alice@Example.com");
    EXPECT_EQ(translate(table, "en", "err.claude_timeout", { { "n", 180 } }),
              "Claude response timed out (180 seconds).");
    EXPECT_TRUE(translate(table, "en", "hint.claude.not_found")
                    .starts_with("Cannot find claude executable. Please install Claude Code first: https://"));
}

TEST(Translate, AnUnknownLanguageFallsBackToEnglish)
{
    EXPECT_EQ(translate(translation_table(), "zh_TW", "tray.quit"), "Quit");
}

TEST(Translate, AnUnknownKeyFallsBackToTheKey)
{
    EXPECT_EQ(translate(translation_table(), "zh-Hant", "err.no.such.key", { { "x", 1 } }), "err.no.such.key");
}

namespace {

// The English sign-in failure; it has a {status} placeholder.
std::string auth_template()
{
    return translation_table().at("en").at("err.account.auth");
}

}  // namespace

TEST(Translate, TemplatesThatCannotBeFilledComeBackUnchanged)
{
    const auto& table = translation_table();
    const std::string auth = auth_template();
    EXPECT_EQ(translate(table, "en", "err.account.auth"), auth);
    EXPECT_EQ(translate(table, "en", "err.account.auth", { { "err", "x" } }), auth);
    EXPECT_NE(auth.find("{status}"), std::string::npos);
}

TEST(Translate, ValuesTheTemplateDoesNotUseAreIgnored)
{
    EXPECT_EQ(translate(translation_table(), "en", "err.account.auth", { { "status", 401 }, { "unused", true } }),
              "iCloud sign-in failed (HTTP 401). Check the Apple ID and app-specific password.");
}

TEST(FillTemplate, FillsPlaceholdersAndUndoublesBraces)
{
    const std::tuple<std::string, Json, std::string> cases[] = {
        { "{{literal}} {a}-{b}", { { "a", "x" }, { "b", 2 } }, "{literal} x-2" },
        { "}} and {{", { { "a", 1 } }, "} and {" },
        { "{a}", { { "a", nullptr } }, "null" },
        { "{a}", { { "a", false } }, "false" },
    };
    for (const auto& [text, values, filled] : cases) {
        SCOPED_TRACE(text + " with " + values.dump());
        EXPECT_EQ(wrenfold::fill_template(text, values), filled);
    }
}

TEST(FillTemplate, RefusesMissingValuesAndLoneOrEmptyBraces)
{
    for (const char* text : { "{missing}", "lone } brace", "open {a", "empty {}" }) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(wrenfold::fill_template(text, { { "a", 1 } }));
    }
}
