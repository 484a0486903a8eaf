#include "platform/environment.h"

#include <gtest/gtest.h>

using namespace wrenfold::platform;

namespace {

// HOME given at the start and unset again, PATH set.
class ChangedEnvironment : public ::testing::Test {
protected:
    void SetUp() override
    {
        environment.set("PATH", "/bin");
        environment.unset("HOME");
    }

    MapEnvironment environment { { "HOME", "/home/a" } };
};

}  // namespace

TEST_F(ChangedEnvironment, MapEnvironmentSnapshotsWhatIsStillSet)
{
    EXPECT_EQ(environment.snapshot(), std::vector<std::string> { "PATH=/bin" });
}

TEST_F(ChangedEnvironment, AnUnsetNameReadsAsEmpty)
{
    EXPECT_EQ(environment.get_or_empty("HOME"), "");
}
