#include "platform/single_instance.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include "core/unique_fd.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string_view>

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
    first->serve([&](std::string_view) {
        ++asked;
        return wrenfold::platform::address_answer("http://127.0.0.1:1/#token=ab");
    });
    EXPECT_EQ(ask_running_instance(data, 5s), "address http://127.0.0.1:1/#token=ab");
    EXPECT_EQ(ask_running_instance(data, 5s), "address http://127.0.0.1:1/#token=ab");
    EXPECT_EQ(asked, 2);
}

TEST_F(ClaimedDataDirectory, ServingAgainChangesTheAnswer)
{
    first->serve([](std::string_view) { return wrenfold::platform::address_answer("http://127.0.0.1:1/#token=ab"); });
    first->serve([](std::string_view) { return wrenfold::platform::window_shown_answer(); });
    EXPECT_EQ(ask_running_instance(data, 5s), "shown");
}

TEST_F(ClaimedDataDirectory, TheClaimEndsWithItsHolderAndCanBeMadeAgain)
{
    first->serve([](std::string_view) { return wrenfold::platform::window_shown_answer(); });
    first.reset();
    EXPECT_FALSE(ask_running_instance(data, 300ms));
    EXPECT_TRUE(InstanceChannel::claim(data));
}

TEST_F(ClaimedDataDirectory, AFileToOpenReachesTheHolderWhateverItsName)
{
    using wrenfold::platform::file_to_open;
    using wrenfold::platform::open_request;
    std::optional<std::filesystem::path> received;
    first->serve([&](std::string_view request) {
        received = file_to_open(request);
        return wrenfold::platform::window_shown_answer();
    });
    // A newline would end the line early; bytes that are not UTF-8 are a
    // valid name on this system.
    for (std::filesystem::path file :
         { "/tmp/plain.ics", "/tmp/two\nlines.ics", "/tmp/\xff\xfe.ics", "/tmp/行程 2027.ics" }) {
        SCOPED_TRACE(file.string());
        auto request = open_request(file);
        ASSERT_TRUE(request);
        ASSERT_EQ(ask_running_instance(data, 5s, *request), "shown");
        EXPECT_EQ(received, file);
    }
    ASSERT_EQ(ask_running_instance(data, 5s), "shown");
    EXPECT_FALSE(received) << "a plain start opens nothing";

    // What the holder never takes as a file: a relative path, a NUL byte,
    // hex that is cut short or not hex, another word.
    for (std::string_view request : { "open 612e696373", "open 2f00", "open 2f6", "open 2fzz", "open ", "opens 2f" })
        EXPECT_FALSE(file_to_open(request)) << request;
    EXPECT_FALSE(open_request(std::filesystem::path("/" + std::string(3000, 'a'))))
        << "a path longer than the holder reads";
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

namespace {

// The abstract socket name an earlier version claimed for a data directory,
// which any user of the machine could bind first.
std::string old_abstract_name(const std::filesystem::path& data_directory)
{
    std::string path = std::filesystem::weakly_canonical(data_directory).string();
    std::uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : path) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return "wrenfold/" + std::to_string(::getuid()) + "/" + text;
}

// A listener on a name that never answers.
wrenfold::UniqueFd squat(const std::string& abstract_name)
{
    wrenfold::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, abstract_name.data(), abstract_name.size());
    auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + abstract_name.size());
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd.get(), 8) != 0)
        ADD_FAILURE() << "cannot squat " << abstract_name;
    return fd;
}

}  // namespace

TEST(SingleInstance, LivesInAPrivateFolderThatNoSquattedNameOrForeignFolderStops)
{
    TempDir home;
    auto data = home / "data";
    auto squatter = squat(old_abstract_name(data));
    std::filesystem::create_directories(home / "run");
    struct Case {
        std::filesystem::path runtime;  // "" for none
        std::filesystem::path folder;   // where the claim must lie
    };
    // A runtime folder whose "wrenfold" folder others may enter is not used.
    std::filesystem::create_directories(home / "shared" / "wrenfold");
    std::filesystem::permissions(home / "shared" / "wrenfold", std::filesystem::perms::all);
    const Case cases[] = {
        { home / "run", home / "run" / "wrenfold" },
        { home / "shared", data },
        { "", data },
    };
    for (const auto& [runtime, folder] : cases) {
        SCOPED_TRACE(runtime.string());
        if (runtime.empty())
            ::unsetenv("XDG_RUNTIME_DIR");
        else
            ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        EXPECT_EQ(wrenfold::platform::instance_folder(data), folder);
        auto first = InstanceChannel::claim(data);
        ASSERT_TRUE(first);
        first->serve([](std::string_view) { return wrenfold::platform::window_shown_answer(); });
        EXPECT_FALSE(InstanceChannel::claim(data));
        EXPECT_EQ(ask_running_instance(data, 5s), "shown");
        EXPECT_EQ(std::filesystem::status(folder).permissions(), std::filesystem::perms::owner_all);
    }
    ::unsetenv("XDG_RUNTIME_DIR");
}
