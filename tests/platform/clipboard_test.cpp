// Run under xvfb-run: the toolkit needs a (virtual) display.
#include "platform/clipboard.h"
#include "platform/exec_arguments.h"
#include "platform/toolkit.h"
#include "support/files.h"
#include "support/temp_dir.h"
#include "toolkit_loop.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <optional>

extern char** environ;

using namespace std::chrono_literals;
using wrenfold::testing::run_loop_until;
using wrenfold::testing::TempDir;
using wrenfold::testing::write_text;

namespace {

// Another X client owning the clipboard: xclip in the foreground until killed.
class ClipboardOwner {
public:
    ClipboardOwner(const std::filesystem::path& file, const std::string& type)
    {
        std::vector<std::string> args { "xclip", "-quiet", "-selection", "clipboard", "-t", type, "-i", file.string() };
        std::vector<char*> argv = wrenfold::platform::c_strings(args);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        EXPECT_EQ(posix_spawnp(&m_pid, "xclip", &actions, nullptr, argv.data(), environ), 0) << "xclip is needed";
        posix_spawn_file_actions_destroy(&actions);
        std::this_thread::sleep_for(500ms);
    }
    ~ClipboardOwner()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

private:
    pid_t m_pid { -1 };
};

// Reads the clipboard from another thread while this one runs the toolkit.
std::string read_clipboard_while_looping()
{
    std::optional<std::string> text;
    std::thread reader([&] {
        auto read = wrenfold::platform::read_clipboard_text(5s);
        wrenfold::platform::run_on_toolkit_thread([&text, read] { text = read; });
    });
    run_loop_until([&] { return text.has_value(); });
    reader.join();
    return text.value_or("<not answered>");
}

}  // namespace

namespace {

class Clipboard : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(gtk_init_check(nullptr, nullptr)); }

    TempDir dir;
};

}  // namespace

TEST_F(Clipboard, ReadsNothingWhileNobodyOwnsIt)
{
    EXPECT_EQ(read_clipboard_while_looping(), "");
}

TEST_F(Clipboard, ReadsTheTextOfAnotherClientExactly)
{
    const std::string text = "first line\nsecond\tline \u00e9\u6f22\r\nthird\n";
    write_text(dir / "text.txt", text);
    ClipboardOwner owner(dir / "text.txt", "UTF8_STRING");
    EXPECT_EQ(read_clipboard_while_looping(), text);
}

TEST_F(Clipboard, ReadsNothingFromAClientThatOffersOnlyAPicture)
{
    write_text(dir / "picture.png", "\x89PNG not really");
    ClipboardOwner owner(dir / "picture.png", "image/png");
    EXPECT_EQ(read_clipboard_while_looping(), "");
}
