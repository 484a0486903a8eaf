#include "core/atomic_store.h"

#include "support/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

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

}  // namespace

TEST(AtomicWrite, WritesStoreFormatPrivatelyAndRoundTrips)
{
    TempDir dir;
    Json value = Json::parse(R"({"accounts": [{"id": "a1", "apple_id": "露西@example.com", "calendars": []}]})");
    wrenfold::atomic_write_json(dir / "accounts.json", value);

    std::string text = read_text(dir / "accounts.json");
    EXPECT_EQ(text,
              "{\n  \"accounts\": [\n    {\n      \"id\": \"a1\",\n      \"apple_id\": \"露西@example.com\",\n"
              "      \"calendars\": []\n    }\n  ]\n}");
    EXPECT_EQ(Json::parse(text), value);
    EXPECT_EQ(Json::parse(text).at("accounts")[0].begin().key(), "id");

    struct stat info { };
    ASSERT_EQ(::stat((dir / "accounts.json").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_FALSE(has_temp_files(dir.path()));
}

TEST(AtomicWrite, ReplacesAnExistingStore)
{
    TempDir dir;
    write_text(dir / "settings.json", "{\"old\": true}");
    wrenfold::atomic_write_json(dir / "settings.json", Json::object({ { "new", 1 } }));
    EXPECT_EQ(Json::parse(read_text(dir / "settings.json")), Json::object({ { "new", 1 } }));
}

TEST(AtomicWrite, FailedRenameLeavesNoTemporaryFileAndTheTargetUntouched)
{
    TempDir dir;
    // A non-empty directory at the target's name makes the final rename fail
    // after the temporary file has been written.
    write_text(dir / "settings.json" / "keep", "precious");
    EXPECT_THROW(wrenfold::atomic_write_json(dir / "settings.json", Json::object()), std::system_error);
    EXPECT_FALSE(has_temp_files(dir.path()));
    EXPECT_EQ(read_text(dir / "settings.json" / "keep"), "precious");
}

TEST(AtomicWrite, FailureToCreateTheFileIsRaised)
{
    TempDir dir;
    write_text(dir / "not-a-directory", "");
    EXPECT_THROW(wrenfold::atomic_write_json(dir / "not-a-directory" / "settings.json", Json::object()),
                 std::system_error);
}

TEST(StaleTemporaries, OnlyTheWritersLeftoversAreRemoved)
{
    TempDir dir;
    write_text(dir / "accounts.json.0123abcd.tmp", "{");
    write_text(dir / "settings.json.deadbeef.tmp", "{");
    write_text(dir / "accounts.json", "{}");
    write_text(dir / "notes.tmp", "mine");
    write_text(dir / "settings.json.DEADBEEF.tmp", "not ours: upper case");
    wrenfold::remove_stale_store_temps(dir.path());

    EXPECT_FALSE(fs::exists(dir / "accounts.json.0123abcd.tmp"));
    EXPECT_FALSE(fs::exists(dir / "settings.json.deadbeef.tmp"));
    EXPECT_TRUE(fs::exists(dir / "accounts.json"));
    EXPECT_TRUE(fs::exists(dir / "notes.tmp"));
    EXPECT_TRUE(fs::exists(dir / "settings.json.DEADBEEF.tmp"));
}
