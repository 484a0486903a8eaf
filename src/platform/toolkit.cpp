#include "platform/toolkit.h"

#include <gtk/gtk.h>

#include <cstdlib>
#include <future>

namespace wrenfold::platform {

namespace {

gboolean run_queued_work(gpointer data)
{
    auto* work = static_cast<std::function<void()>*>(data);
    try {
        (*work)();
    } catch (...) {
        // Window work only improves the experience; it never ends the loop.
    }
    return G_SOURCE_REMOVE;
}

void delete_queued_work(gpointer data)
{
    delete static_cast<std::function<void()>*>(data);
}

bool named(const char* variable)
{
    const char* value = std::getenv(variable);
    return value && *value;
}

}  // namespace

bool display_named_in_environment()
{
    return named("DISPLAY") || named("WAYLAND_DISPLAY");
}

void run_on_toolkit_thread(std::function<void()> work)
{
    // Always queued, even from the toolkit thread: an idle source runs only
    // inside the loop, never on the caller's thread.
    g_idle_add_full(G_PRIORITY_DEFAULT, run_queued_work, new std::function<void()>(std::move(work)),
                    delete_queued_work);
}

std::unique_ptr<BackgroundToolkit> BackgroundToolkit::start()
{
    std::unique_ptr<BackgroundToolkit> toolkit(new BackgroundToolkit());
    auto opened = std::make_shared<std::promise<bool>>();
    auto opened_result = opened->get_future();
    toolkit->m_thread = std::thread([opened] {
        if (!gtk_init_check(nullptr, nullptr)) {
            opened->set_value(false);
            return;
        }
        opened->set_value(true);
        gtk_main();
    });
    if (!opened_result.get()) {
        toolkit->m_thread.join();
        return nullptr;
    }
    return toolkit;
}

BackgroundToolkit::~BackgroundToolkit()
{
    if (m_thread.joinable()) {
        run_on_toolkit_thread([] { gtk_main_quit(); });
        m_thread.join();
    }
}

}  // namespace wrenfold::platform
