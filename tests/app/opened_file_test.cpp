#include "app/opened_file.h"
#include "app/wrenfold_app.h"
#include "platform/single_instance.h"

#include "support/app_fixture.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <fstream>
#include <stdexcept>

using wrenfold::Json;
using wrenfold::read_opened_file;
using wrenfold::testing::AppFolders;
using wrenfold::testing::TempDir;

namespace {

void write_file(const std::filesystem::path& file, const std::string& text)
{
    std::ofstream(file, std::ios::binary) << text;
}

const std::string kCalendar = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nEND:VCALENDAR\r\n";

}  // namespace

TEST(OpenedFile, OnlyARegularFileWithinTheLimitIsRead)
{
    TempDir folder;
    write_file(folder / "events.ics", kCalendar);
    write_file(folder / "big.ics", std::string(101, 'x'));
    write_file(folder / "exact.ics", std::string(100, 'x'));
#ifndef _WIN32
    // Links (which Windows makes only with a privilege), named pipes and
    // devices in the file tree: Linux's.
    std::filesystem::create_symlink(folder / "events.ics", folder / "link.ics");
    ASSERT_EQ(::mkfifo((folder / "pipe.ics").c_str(), 0600), 0);
#endif

    struct Case {
        std::filesystem::path file;
        const char* refusal;  // nullptr: read
    };
    const Case cases[] = {
        { folder / "events.ics", nullptr },
        { folder / "exact.ics", nullptr },
        { "events.ics", "not a full path" },
        { folder / "missing.ics", "no such file" },
        { folder.path(), "not a file" },
#ifndef _WIN32
        { folder / "link.ics", nullptr },
        { folder / "pipe.ics", "not a file" },  // opening it would wait for a writer
        { "/dev/zero", "not a file" },
#endif
        { folder / "big.ics", "larger than" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.string());
        try {
            auto opened = read_opened_file(c.file, 100);
            EXPECT_FALSE(c.refusal) << "read, though it should be refused";
            EXPECT_EQ(opened.name, c.file.filename().string());
            EXPECT_EQ(opened.text.size(), std::filesystem::file_size(c.file));
        } catch (const std::runtime_error& error) {
            ASSERT_TRUE(c.refusal) << error.what();
            EXPECT_TRUE(std::string(error.what()).starts_with(c.refusal)) << error.what();
        }
    }
    EXPECT_EQ(read_opened_file(folder / "events.ics").text, kCalendar) << "the bytes as they are";
}

TEST(OpenedFile, ALaterStartHandsTheFileToThePageOnce)
{
    AppFolders folders;
    auto app = folders.make_app();
    TempDir folder;
    write_file(folder / "trip.ics", kCalendar);
    auto token = [&] { return app->get_runtime_state()["opened_file_token"].get<int>(); };

    EXPECT_EQ(app->_answer_later_start("show", "shown"), "shown");
    EXPECT_EQ(token(), 0);
    EXPECT_EQ(app->take_opened_file(), Json::parse(R"({"ok": true, "file": null})"));

    // Two starts before the page asks: both wait, in order; one refused is
    // answered why, and the page is told too.
    EXPECT_EQ(app->_answer_later_start(*wrenfold::platform::open_request(folder / "trip.ics"), "shown"), "shown");
    EXPECT_EQ(app->_answer_later_start(*wrenfold::platform::open_request(folder.path()), "shown"),
              "refused not a file");
    EXPECT_EQ(token(), 2);
    Json taken = app->take_opened_file();
    EXPECT_EQ(taken["file"]["name"], "trip.ics");
    EXPECT_EQ(taken["file"]["text"], kCalendar);
    taken = app->take_opened_file();
    EXPECT_EQ(taken["ok"], false);
    EXPECT_TRUE(taken["error"].get<std::string>().starts_with("cannot open the file ")) << taken.dump();
    EXPECT_TRUE(app->take_opened_file()["file"].is_null()) << "each is taken once";
}
