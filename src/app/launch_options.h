#pragma once

namespace wrenfold {

// How the program was asked to show itself.
struct LaunchOptions {
    bool browser { false };      // serve the page to a browser instead of a desktop window
    int port { 0 };              // browser host port; 0 picks a free one
    bool open_browser { true };  // open the page's address in the default browser
};

}  // namespace wrenfold
