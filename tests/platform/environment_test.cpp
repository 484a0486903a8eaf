#include "platform/environment.h"

#include <gtest/gtest.h>

using namespace wrenfold::platform;

TEST(Environment, MapEnvironmentSnapshotsWhatWasSet)
{
    MapEnvironment environment { { "HOME", "/home/a" } };
    environment.set("PATH", "/bin");
    environment.unset("HOME");
    EXPECT_EQ(environment.snapshot(), std::vector<std::string> { "PATH=/bin" });
    EXPECT_EQ(environment.get_or_empty("HOME"), "");
}
