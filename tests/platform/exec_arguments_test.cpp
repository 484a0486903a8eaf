#include "platform/exec_arguments.h"

#include <gtest/gtest.h>

#include <cstring>

using wrenfold::platform::c_strings;

TEST(ExecArguments, PointsAtEachStringInOrderAndEndsWithANullPointer)
{
    std::vector<std::string> strings { "claude", "", "a b", "PATH=/usr/bin" };
    auto pointers = c_strings(strings);
    ASSERT_EQ(pointers.size(), strings.size() + 1);
    for (std::size_t i = 0; i < strings.size(); ++i) {
        SCOPED_TRACE(strings[i]);
        EXPECT_EQ(pointers[i], strings[i].c_str());
    }
    EXPECT_EQ(pointers.back(), nullptr);
}

TEST(ExecArguments, NoStringsGiveOnlyTheNullPointer)
{
    auto none = c_strings({});
    ASSERT_EQ(none.size(), 1u);
    EXPECT_EQ(none[0], nullptr);
}
