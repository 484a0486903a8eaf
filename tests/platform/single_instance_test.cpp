#include "platform/single_instance.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace std::chrono_literals;
using wrenfold::platform::ask_running_instance;
using wrenfold::platform::InstanceChannel;
using wrenfold::testing::TempDir;

namespace {

// A data directory claimed by a first start.
class ClaimedDataDirectory : public ::testing::Test {
protected:
    void SetUp() override
    {
        first = InstanceChannel::claim(data);
        ASSERT_TRUE(first);
    }

    TempDir home;
    std::filesystem::path data = home / "data";
    std::unique_ptr<InstanceChannel> first;
};

}  // namespace

TEST_F(ClaimedDataDirectory, CannotBeClaimedAgainUnderAnySpelling)
{
    EXPECT_FALSE(InstanceChannel::claim(data));
    EXPECT_FALSE(InstanceChannel::claim(home / "other/../data")) << "the same folder by another spelling";
}

TEST_F(ClaimedDataDirectory, AnotherDataDirectoryRunsOnItsOwn)
{
    auto other = InstanceChannel::claim(home / "other");
    EXPECT_TRUE(other) << "another data directory runs on its own";
}

TEST_F(ClaimedDataDirectory, EveryLaterStartIsAnsweredByTheHolder)
{
    std::atomic<int> asked { 0 };
    first->serve([&] {
        ++asked;
        return wrenfold::platform::address_answer("http://127.0.0.1:1/#token=ab");
    });
    EXPECT_EQ(ask_running_instance(data, 5s), "address http://127.0.0.1:1/#token=ab");
    EXPECT_EQ(ask_running_instance(data, 5s), "address http://127.0.0.1:1/#token=ab");
    EXPECT_EQ(asked, 2);
}

TEST_F(ClaimedDataDirectory, ServingAgainChangesTheAnswer)
{
    first->serve([] { return wrenfold::platform::address_answer("http://127.0.0.1:1/#token=ab"); });
    first->serve([] { return wrenfold::platform::window_shown_answer(); });
    EXPECT_EQ(ask_running_instance(data, 5s), "shown");
}

TEST_F(ClaimedDataDirectory, TheClaimEndsWithItsHolderAndCanBeMadeAgain)
{
    first->serve([] { return wrenfold::platform::window_shown_answer(); });
    first.reset();
    EXPECT_FALSE(ask_running_instance(data, 300ms));
    EXPECT_TRUE(InstanceChannel::claim(data));
}

TEST(SingleInstance, AHolderThatDoesNotServeYetIsWaitedForWithinTheLimit)
{
    TempDir home;
    auto claim = InstanceChannel::claim(home.path());
    ASSERT_TRUE(claim);
    // Claimed but not serving: the asker gives up at its limit instead of hanging.
    auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(ask_running_instance(home.path(), 400ms));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
}
