#include "core/atomic_store.h"

#include "support/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <memory>
#include <thread>

namespace fs = std::filesystem;
using wrenfold::Json;
using wrenfold::testing::read_text;
using wrenfold::testing::TempDir;
using wrenfold::testing::write_text;

namespace {

bool has_temp_files(const fs::path& directory)
{
    for (const auto& entry : fs::directory_iterator(directory))
        if (entry.path().extension() == ".tmp")
            return true;
    return false;
}

// A fresh accounts store written once into its own folder.
class AtomicWrite : public ::testing::Test {
protected:
    void SetUp() override { wrenfold::atomic_write_json(store, value); }

    TempDir dir;
    fs::path store = dir / "accounts.json";
    Json value = Json::parse(R"({"accounts": [{"id": "a1", "apple_id": "露西@example.com", "calendars": []}]})");
};

}  // namespace

TEST_F(AtomicWrite, WritesTheStoreFormatIndentedByTwoWithoutATrailingNewline)
{
    EXPECT_EQ(read_text(store),
              "{\n  \"accounts\": [\n    {\n      \"id\": \"a1\",\n      \"apple_id\": \"露西@example.com\",\n"
              "      \"calendars\": []\n    }\n  ]\n}");
}

TEST_F(AtomicWrite, ReadsBackAsTheSameValueInTheSameKeyOrder)
{
    std::string text = read_text(store);
    EXPECT_EQ(Json::parse(text), value);
    EXPECT_EQ(Json::parse(text).at("accounts")[0].begin().key(), "id");
}

#ifndef _WIN32
// Windows has no mode bits: there the data folder's access list keeps the store private.
TEST_F(AtomicWrite, OnlyTheOwnerMayReadTheStore)
{
    struct stat info { };
    ASSERT_EQ(::stat(store.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}
#endif

TEST_F(AtomicWrite, LeavesNoTemporaryFileBehind)
{
    EXPECT_FALSE(has_temp_files(dir.path()));
}

TEST(AtomicRewrite, ReplacesAnExistingStoreAlsoWhenAnotherReaderHeldItOpenForAMoment)
{
    TempDir dir;
    write_text(dir / "settings.json", "{\"old\": true}");
    // As a virus scanner or a backup would: on Windows the file cannot be
    // replaced while it is open.
    auto reader = std::make_unique<std::ifstream>(dir / "settings.json");
    ASSERT_TRUE(*reader);
    std::thread lets_go([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        reader.reset();
    });
    EXPECT_NO_THROW(wrenfold::atomic_write_json(dir / "settings.json", Json::object({ { "new", 1 } })));
    lets_go.join();
    EXPECT_EQ(Json::parse(read_text(dir / "settings.json")), Json::object({ { "new", 1 } }));
}

TEST(AtomicWriteFailure, FailedRenameLeavesNoTemporaryFileAndTheTargetUntouched)
{
    TempDir dir;
    // A non-empty directory at the target's name makes the final rename fail
    // after the temporary file has been written.
    write_text(dir / "settings.json" / "keep", "precious");
    EXPECT_THROW(wrenfold::atomic_write_json(dir / "settings.json", Json::object()), std::system_error);
    EXPECT_FALSE(has_temp_files(dir.path()));
    EXPECT_EQ(read_text(dir / "settings.json" / "keep"), "precious");
}

TEST(AtomicWriteFailure, FailureToCreateTheFileIsRaised)
{
    TempDir dir;
    write_text(dir / "not-a-directory", "");
    EXPECT_THROW(wrenfold::atomic_write_json(dir / "not-a-directory" / "settings.json", Json::object()),
                 std::system_error);
}

TEST(StaleTemporaries, OnlyTheWritersLeftoversAreRemoved)
{
    struct Case {
        const char* name;
        const char* text;
        bool removed;
    };
    const Case cases[] = {
        { "accounts.json.0123abcd.tmp", "{", true },
        { "settings.json.deadbeef.tmp", "{", true },
        { "accounts.json", "{}", false },
        { "notes.tmp", "mine", false },
        // A name of its own: on Windows names differing only in case are one file.
        { "notes.json.DEADBEEF.tmp", "not ours: upper case", false },
    };
    TempDir dir;
    for (const auto& file : cases)
        write_text(dir / file.name, file.text);
    wrenfold::remove_stale_store_temps(dir.path());

    for (const auto& file : cases) {
        SCOPED_TRACE(file.name);
        EXPECT_EQ(fs::exists(dir / file.name), !file.removed);
    }
}
