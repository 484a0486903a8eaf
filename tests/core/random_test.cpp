#include "core/random.h"

#include <gtest/gtest.h>

#include <regex>

TEST(Uuids, DashedOnesAreVersionFour)
{
    static const std::regex dashed("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
    for (int i = 0; i < 64; ++i)
        EXPECT_TRUE(std::regex_match(wrenfold::new_uuid(), dashed));
}

TEST(Uuids, CompactOnesAreVersionFour)
{
    static const std::regex compact("[0-9a-f]{12}4[0-9a-f]{3}[89ab][0-9a-f]{15}");
    for (int i = 0; i < 64; ++i)
        EXPECT_TRUE(std::regex_match(wrenfold::new_uuid_hex(), compact));
}

TEST(Uuids, EachOneIsNew)
{
    EXPECT_NE(wrenfold::new_uuid(), wrenfold::new_uuid());
}

TEST(RandomHex, GivesTwoDigitsPerByte)
{
    EXPECT_EQ(wrenfold::random_hex(32).size(), 64u);
}
