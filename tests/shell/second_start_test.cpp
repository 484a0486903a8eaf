// The Windows program as the user starts it, twice: the later start finds
// the running one through the single-instance lock and is handed its
// address. (Linux's program proves the same in desktop_program_test.)
#include "support/private_file.h"
#include "support/running_program.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using wrenfold::testing::RunningProgram;

TEST(SecondStart, FindsTheRunningProgramAndIsHandedItsAddress)
{
    if (!wrenfold::testing::running_under_wine())
        GTEST_SKIP() << "the program keeps its data in C:/kelvane/Wrenfold: outside Wine, this user's own";
    const std::vector<std::string> args { "--browser", "--no-open" };
    RunningProgram first(WRENFOLD_BINARY, args, {});
    auto address = wrenfold::testing::read_address(first, 60s);
    ASSERT_TRUE(address) << "no address line";
    auto answer = wrenfold::testing::post_bridge_call(*address, "get_initial_state", "[]", 20s);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    EXPECT_TRUE(nlohmann::json::parse(answer->body)["result"].contains("language")) << answer->body;

    RunningProgram second(WRENFOLD_BINARY, args, {});
    auto handed = wrenfold::testing::read_address(second, 60s);
    ASSERT_TRUE(handed) << "the later start named no address";
    EXPECT_EQ(handed->port, address->port);
    EXPECT_EQ(handed->token, address->token);
    EXPECT_EQ(second.wait(30s), 0);
    EXPECT_FALSE(first.wait(0ms)) << "the running program went on serving";
}
