// The window's title bar in the dark style, on the desktop's toolkit.
#include "app/wrenfold_app.h"

#include "platform/toolkit.h"

#include <gtk/gtk.h>

namespace wrenfold {

// GTK's dark variant of the theme darkens the title bar with the rest.
void WrenfoldApp::_apply_dark_titlebar()
{
    try {
        platform::run_on_toolkit_thread([] {
            if (GtkSettings* toolkit_settings = gtk_settings_get_default())
                g_object_set(toolkit_settings, "gtk-application-prefer-dark-theme", TRUE, nullptr);
        });
    } catch (...) {
    }
}

}  // namespace wrenfold
