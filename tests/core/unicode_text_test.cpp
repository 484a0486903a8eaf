#include "core/unicode_text.h"

#include <gtest/gtest.h>

using namespace wrenfold;

TEST(UnicodeText, TrimsEveryKindOfBlankButNothingElse)
{
    EXPECT_EQ(trim_unicode("\u3000\u00a0 ann@example.com\t\u2003\u202f\n"), "ann@example.com");
    EXPECT_EQ(trim_unicode("\x1f"
                           "a b\u3000c\x1c"),
              "a b\u3000c");
    EXPECT_EQ(trim_unicode("\u3000\u3000"), "");
    EXPECT_EQ(trim_unicode(""), "");
    // Zero-width space and byte-order mark are not white space; invalid bytes stay.
    EXPECT_EQ(trim_unicode("\u200bx\ufeff"), "\u200bx\ufeff");
    EXPECT_EQ(trim_unicode(" \xff\xfe "), "\xff\xfe");
    EXPECT_EQ(trim_unicode("\xe3\x80 a"), "\xe3\x80 a");  // a cut-off U+3000 is not a blank
    EXPECT_TRUE(is_blank_text("\u3000 \u00a0"));
    EXPECT_FALSE(is_blank_text("\u3000x"));
}

TEST(UnicodeText, FoldsCaseWithFullUnicodeRules)
{
    EXPECT_TRUE(equal_ignoring_case("Ärzte", "ärzte"));
    EXPECT_TRUE(equal_ignoring_case("ÅLICE@EXAMPLE.COM", "ålice@example.com"));
    EXPECT_TRUE(equal_ignoring_case("STRASSE", "straße"));
    EXPECT_TRUE(equal_ignoring_case("ΣΊΣΥΦΟΣ", "σίσυφος"));
    EXPECT_FALSE(equal_ignoring_case("ärzte", "arzte"));
    EXPECT_FALSE(equal_ignoring_case("工作", "家庭"));
    EXPECT_EQ(fold_case("工作"), "工作");
}

TEST(UnicodeText, FindsControlCharactersAnywhereInTheText)
{
    EXPECT_TRUE(has_control_characters("sk-a\r\nX-Injected: yes"));
    EXPECT_TRUE(has_control_characters(std::string("a\0b", 3)));
    EXPECT_TRUE(has_control_characters("a\x7f"));
    EXPECT_TRUE(has_control_characters("a\u0085b"));  // next line, a C1 control
    EXPECT_FALSE(has_control_characters("sk-ant-é金鑰\u00a0"));
    EXPECT_FALSE(has_control_characters(""));
}
