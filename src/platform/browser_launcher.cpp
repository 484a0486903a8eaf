#include "platform/browser_launcher.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <thread>

extern char** environ;

namespace wrenfold {

bool open_in_default_browser(const std::string& url)
{
    std::string program = "xdg-open";
    std::string argument = url;
    char* argv[] = { program.data(), argument.data(), nullptr };
    pid_t pid = 0;
    if (::posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0)
        return false;
    // xdg-open returns once the browser is asked; reap it off the caller's thread.
    std::thread([pid] {
        int status = 0;
        ::waitpid(pid, &status, 0);
    }).detach();
    return true;
}

}  // namespace wrenfold
