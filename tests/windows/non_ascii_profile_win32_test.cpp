// A user named in Chinese has a profile, and so a home and a temporary
// folder, whose path the ANSI code page cannot hold.
#include "app/opened_file.h"
#include "assistant/claude_code_files.h"
#include "assistant/turn_folders.h"
#include "core/atomic_store.h"
#include "core/json.h"
#include "core/private_folder.h"
#include "core/utf8_path.h"
#include "platform/launch_page.h"
#include "platform/single_instance.h"
#include "shell/command_line.h"
#include "store/event_store.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>

namespace fs = std::filesystem;
using wrenfold::utf8_path;
using wrenfold::utf8_text;

namespace {

// Sets a variable of this process for one test and puts the old value back.
class ScopedVariable {
public:
    ScopedVariable(const wchar_t* name, const fs::path& value)
        : m_name(name)
    {
        wchar_t old[32768];
        DWORD length = GetEnvironmentVariableW(name, old, 32768);
        if (length > 0 && length < 32768)
            m_old = std::wstring(old, length);
        SetEnvironmentVariableW(name, value.wstring().c_str());
    }
    ~ScopedVariable() { SetEnvironmentVariableW(m_name, m_old ? m_old->c_str() : nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const wchar_t* m_name;
    std::optional<std::wstring> m_old;
};

}  // namespace

TEST(WindowsProfile, EveryFileTheProgramKeepsUnderAChineseProfileIsReachable)
{
    fs::path profile = fs::temp_directory_path() / utf8_path("Users/陳小明-" + std::to_string(GetCurrentProcessId()));
    fs::path temp = profile / "AppData" / "Local" / "Temp";
    fs::path data = profile / "AppData" / "Roaming" / utf8_path("行事曆");
    fs::create_directories(temp);
    ScopedVariable tmp(L"TMP", temp), temp_variable(L"TEMP", temp), user_profile(L"USERPROFILE", profile);
    std::string home = utf8_text(profile);

    {
        wrenfold::platform::LaunchPage page;
        page.write("http://127.0.0.1:1/#token=ab");
        EXPECT_TRUE(fs::equivalent(page.path().parent_path().parent_path(), temp));
        EXPECT_NE(wrenfold::read_file(page.path()).find("#token=ab"), std::string::npos);
    }

    // Claude Code's own files in the home folder.
    wrenfold::assistant::store_claude_api_key(home, "sk-陳");
    EXPECT_TRUE(fs::is_regular_file(profile / ".claude" / "settings.json"));
    EXPECT_EQ(wrenfold::assistant::stored_claude_api_key(home), "sk-陳");
    EXPECT_TRUE(wrenfold::assistant::claude_signed_in(home));

    {
        wrenfold::assistant::TurnFolders folders(temp);
        EXPECT_TRUE(folders.intact());
        EXPECT_TRUE(fs::equivalent(folders.working().parent_path().parent_path(), temp));
    }

    // A data folder of that name: settings, the local store and the one-instance lock.
    wrenfold::make_private_directories(data);
    wrenfold::atomic_write_json(data / "settings.json", wrenfold::Json { { "language", "zh-TW" } });
    EXPECT_EQ(wrenfold::parse_json(wrenfold::read_file(data / "settings.json"))["language"], "zh-TW");
    EXPECT_TRUE(wrenfold::store::EventStore::open(data / "events.sqlite3"));
    EXPECT_TRUE(fs::is_regular_file(data / "events.sqlite3"));
    {
        auto first = wrenfold::platform::InstanceChannel::claim(data);
        ASSERT_TRUE(first);
        EXPECT_FALSE(wrenfold::platform::InstanceChannel::claim(data));
    }

    // A file to open named on the command line, as a path or a file address,
    // and handed to the page under its own name.
    fs::path meeting = profile / utf8_path("會議.ics");
    wrenfold::atomic_write_text(meeting, "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n");
    std::string typed = utf8_text(meeting);
    const char* as_path[] = { "wrenfold", typed.c_str() };
    auto opened = wrenfold::read_opened_file(wrenfold::parse_command_line(2, as_path).open_file);
    EXPECT_EQ(opened.name, "會議.ics");
    EXPECT_EQ(opened.text, "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n");
    const char* as_address[] = { "wrenfold", "file:///C:/Users/%E9%99%B3/%E6%9C%83.ics" };
    EXPECT_EQ(wrenfold::parse_command_line(2, as_address).open_file, utf8_path("C:/Users/陳/會.ics"));

    std::error_code ignored;
    fs::remove_all(profile.parent_path(), ignored);
}
