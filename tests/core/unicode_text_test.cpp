#include "core/unicode_text.h"

#include <gtest/gtest.h>

using namespace wrenfold;

TEST(UnicodeText, TrimsEveryKindOfBlankButNothingElse)
{
    const std::pair<std::string, std::string> cases[] = {
        { "\u3000\u00a0 ann@example.com\t\u2003\u202f\n", "ann@example.com" },
        { "\x1f"
          "a b\u3000c\x1c",
          "a b\u3000c" },
        { "\u3000\u3000", "" },
        { "", "" },
        // Zero-width space and byte-order mark are not white space; invalid bytes stay.
        { "\u200bx\ufeff", "\u200bx\ufeff" },
        { " \xff\xfe ", "\xff\xfe" },
        { "\xe3\x80 a", "\xe3\x80 a" },  // a cut-off U+3000 is not a blank
    };
    for (const auto& [text, trimmed] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(trim_unicode(text), trimmed);
    }
}

TEST(UnicodeText, BlankTextHoldsOnlyBlanksOfAnyKind)
{
    EXPECT_TRUE(is_blank_text("\u3000 \u00a0"));
    EXPECT_FALSE(is_blank_text("\u3000x"));
}

TEST(UnicodeText, FoldsCaseWithFullUnicodeRules)
{
    const std::pair<const char*, const char*> equal[] = {
        { "Ärzte", "ärzte" },
        { "ÅLICE@EXAMPLE.COM", "ålice@example.com" },
        { "STRASSE", "straße" },
        { "ΣΊΣΥΦΟΣ", "σίσυφος" },
    };
    for (const auto& [upper, lower] : equal) {
        SCOPED_TRACE(upper);
        EXPECT_TRUE(equal_ignoring_case(upper, lower));
    }
}

TEST(UnicodeText, FoldingKeepsDifferentLettersApartAndLeavesUncasedTextAlone)
{
    EXPECT_FALSE(equal_ignoring_case("ärzte", "arzte"));
    EXPECT_FALSE(equal_ignoring_case("工作", "家庭"));
    EXPECT_EQ(fold_case("工作"), "工作");
}

TEST(UnicodeText, SearchFoldingDropsAccentsAndCompatibilityFormsButKeepsLettersApart)
{
    const std::pair<const char*, const char*> alike[] = {
        { "Café Crème", "cafe creme" }, { "ＡＢＣ", "abc" },    { "ﬁle", "file" },
        { "STRASSE", "straße" },        { "健保卡", "健保卡" },
    };
    for (const auto& [a, b] : alike)
        EXPECT_EQ(fold_for_search(a), fold_for_search(b)) << a;
    EXPECT_NE(fold_for_search("学"), fold_for_search("字"));
}

TEST(UnicodeText, FindsControlCharactersAnywhereInTheText)
{
    const std::string with_controls[] = {
        "sk-a\r\nX-Injected: yes", std::string("a\0b", 3), "a\x7f",
        "a\u0085b",  // next line, a C1 control
    };
    for (const auto& text : with_controls) {
        SCOPED_TRACE(text);
        EXPECT_TRUE(has_control_characters(text));
    }
}

TEST(UnicodeText, TextWithoutControlCharactersPasses)
{
    EXPECT_FALSE(has_control_characters("sk-ant-é金鑰\u00a0"));
    EXPECT_FALSE(has_control_characters(""));
}

TEST(UnicodeText, OnOneLineTurnsEveryLineBreakIntoOneSpace)
{
    EXPECT_EQ(on_one_line("a\r\nb\u0085c\u2028d\u2029e\x7f"), "a  b c d e ");
    EXPECT_EQ(on_one_line("金鑰\u00a0é\u2027"), "金鑰\u00a0é\u2027");  // U+2027 is no separator
    EXPECT_EQ(on_one_line("\xE2\x80"), "\xE2\x80");                    // a separator cut short stays as it is
}
