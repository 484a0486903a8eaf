#pragma once

#include <gtk/gtk.h>

#include <chrono>
#include <functional>
#include <thread>

namespace wrenfold::testing {

// Runs the toolkit's loop until `done` or 30 seconds have passed.
inline void run_loop_until(const std::function<bool()>& done)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        g_main_context_iteration(nullptr, FALSE) || (std::this_thread::sleep_for(std::chrono::milliseconds(5)), true);
}

}  // namespace wrenfold::testing
