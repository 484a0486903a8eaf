#include "platform/browser_launcher.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <thread>

extern char** environ;

namespace wrenfold::platform {

bool open_in_default_browser(const std::string& url)
{
    std::string program = "xdg-open";
    std::string argument = url;
    char* argv[] = { program.data(), argument.data(), nullptr };
    // The browser it starts must not inherit our blocked SIGINT and SIGTERM
    // (nor SIGPIPE ignored): it would then outlive a logout's SIGTERM.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    // Nor our descriptors: a browser started now outlives us, and with the
    // browser host's socket (which does not close on exec) it would keep the
    // port taken.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    pid_t pid = 0;
    int spawned = ::posix_spawnp(&pid, "xdg-open", &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0)
        return false;
    // xdg-open returns once the browser is asked; reap it off the caller's thread.
    std::thread([pid] {
        int status = 0;
        ::waitpid(pid, &status, 0);
    }).detach();
    return true;
}

}  // namespace wrenfold::platform
