#include "platform/single_instance.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>

using namespace std::chrono_literals;
using wrenfold::platform::InstanceChannel;

TEST(WindowsInstance, ALaterStartFindsTheFirstAndHearsItsAnswer)
{
    auto directory =
        std::filesystem::temp_directory_path() / ("wrenfold-instance-" + std::to_string(GetCurrentProcessId()));
    auto first = InstanceChannel::claim(directory);
    ASSERT_TRUE(first);
    EXPECT_FALSE(InstanceChannel::claim(directory));
    EXPECT_TRUE(InstanceChannel::claim(directory / "other"));

    first->serve([](std::string_view) { return wrenfold::platform::address_answer("http://127.0.0.1:1/"); });
    EXPECT_EQ(wrenfold::platform::ask_running_instance(directory, 5s), "address http://127.0.0.1:1/");
    first->serve([](std::string_view) { return wrenfold::platform::window_shown_answer(); });
    EXPECT_EQ(wrenfold::platform::ask_running_instance(directory, 5s), "shown");

    first.reset();
    EXPECT_FALSE(wrenfold::platform::ask_running_instance(directory, 300ms));
    EXPECT_TRUE(InstanceChannel::claim(directory));
}
