#pragma once

#include <filesystem>
#include <memory>

namespace wrenfold {

namespace platform {
class InstanceChannel;
}

// How the program was asked to show itself.
struct LaunchOptions {
    bool browser { false };      // serve the page to a browser instead of a desktop window
    int port { 0 };              // browser host port; 0 picks a free one
    bool open_browser { true };  // open the page's address in the default browser
    bool show_help { false };
    bool show_version { false };
    // A calendar file to show for import once the page is up (as given: it
    // may be relative to the working folder of this start).
    std::filesystem::path open_file;
    // This process's claim on its data directory; later starts ask it to come forward.
    std::shared_ptr<platform::InstanceChannel> instance;
};

}  // namespace wrenfold
