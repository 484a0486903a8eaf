#include "core/hex.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace wrenfold {
namespace {

TEST(HexDigitValue, DigitsOfEitherCaseGiveTheirValue)
{
    const std::string digits = "0123456789abcdef";
    for (int value = 0; value < 16; ++value) {
        char lower = digits[value];
        SCOPED_TRACE(lower);
        EXPECT_EQ(hex_digit_value(lower), value);
        EXPECT_EQ(hex_digit_value(static_cast<char>(std::toupper(lower))), value);
    }
}

TEST(HexDigitValue, EveryOtherCharacterIsNoDigit)
{
    for (char other : { 'g', 'G', '/', ':', '@', '`', ' ', '%', '\0', '\xff' }) {
        SCOPED_TRACE(int(other));
        EXPECT_EQ(hex_digit_value(other), -1);
    }
}

}  // namespace
}  // namespace wrenfold
