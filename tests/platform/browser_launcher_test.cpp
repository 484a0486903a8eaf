#include "platform/browser_launcher.h"

#include "core/unique_fd.h"
#include "support/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <cstdlib>
#include <thread>

using namespace std::chrono_literals;

TEST(OpenInDefaultBrowser, TheBrowserGetsNoneOfOurDescriptors)
{
    // A browser started for us lives on after we quit: had it kept the
    // browser host's listening socket (which does not close on exec), the
    // port would stay taken and the next start's page would never load.
    wrenfold::UniqueFd socket(::socket(AF_INET, SOCK_STREAM, 0));
    wrenfold::testing::TempDir dir;
    wrenfold::testing::write_text_with_mode(dir / "xdg-open",
                                            "#!/bin/sh\n[ -e /proc/$$/fd/" + std::to_string(socket.get()) +
                                                " ] && echo kept > \"$1.part\" || echo closed > \"$1.part\"\n"
                                                "mv \"$1.part\" \"$1\"\n",
                                            std::filesystem::perms(0755));
    std::string saved_path = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (dir.path().string() + ":/usr/bin:/bin").c_str(), 1);
    bool opened = wrenfold::platform::open_in_default_browser((dir / "record").string());
    ::setenv("PATH", saved_path.c_str(), 1);

    ASSERT_TRUE(opened);
    for (int i = 0; i < 500 && !std::filesystem::exists(dir / "record"); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(wrenfold::testing::read_text(dir / "record"), "closed\n");
}
