#include "platform/clipboard.h"

#include "platform/toolkit.h"

#include <gtk/gtk.h>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace wrenfold::platform {

namespace {

// Shared with the toolkit thread, which may still answer after the caller
// has stopped waiting; that late text is dropped with the holder.
struct ClipboardRead {
    std::mutex mutex;
    std::condition_variable done_signal;
    bool done { false };
    std::string text;
};

void on_clipboard_text(GtkClipboard*, const gchar* text, gpointer data)
{
    std::unique_ptr<std::shared_ptr<ClipboardRead>> holder(static_cast<std::shared_ptr<ClipboardRead>*>(data));
    auto& read = **holder;
    std::lock_guard lock(read.mutex);
    read.text = text ? text : "";
    read.done = true;
    read.done_signal.notify_all();
}

}  // namespace

std::string read_clipboard_text(std::chrono::milliseconds limit)
{
    auto read = std::make_shared<ClipboardRead>();
    run_on_toolkit_thread([read] {
        GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
        gtk_clipboard_request_text(clipboard, on_clipboard_text, new std::shared_ptr<ClipboardRead>(read));
    });
    std::unique_lock lock(read->mutex);
    read->done_signal.wait_for(lock, limit, [&] { return read->done; });
    return read->done ? read->text : std::string();
}

}  // namespace wrenfold::platform
