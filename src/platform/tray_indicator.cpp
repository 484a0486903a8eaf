#include "platform/tray_indicator.h"

#include "platform/toolkit.h"

#include <gtk/gtk.h>
#include <libayatana-appindicator/app-indicator.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <atomic>
#include <cstdlib>

namespace wrenfold::platform {

namespace fs = std::filesystem;

bool write_tray_icon_png(const fs::path& icon_file, const fs::path& png_file)
{
    GdkPixbuf* picture = gdk_pixbuf_new_from_file(icon_file.c_str(), nullptr);
    bool from_file = picture != nullptr;
    if (!picture) {
        picture = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 64, 64);
        gdk_pixbuf_fill(picture, (15u << 24) | (21u << 16) | (33u << 8) | 0xffu);
    }
    std::error_code ignored;
    fs::create_directories(png_file.parent_path(), ignored);
    gdk_pixbuf_save(picture, png_file.c_str(), "png", nullptr, nullptr);
    g_object_unref(picture);
    return from_file;
}

namespace {

bool status_notifier_host_registered()
{
    // Without a session bus there is no such host, and asking for the bus
    // would start one of its own.
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!address || !*address)
        return false;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus)
        return false;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", "org.kde.StatusNotifierWatcher", "IsStatusNotifierHostRegistered"), G_VARIANT_TYPE("(v)"),
        G_DBUS_CALL_FLAGS_NO_AUTO_START, 500, nullptr, nullptr);
    g_object_unref(bus);
    if (!reply)
        return false;
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    bool registered = value && g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(value);
    if (value)
        g_variant_unref(value);
    g_variant_unref(reply);
    return registered;
}

bool x11_system_tray_present()
{
#ifdef GDK_WINDOWING_X11
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_X11_DISPLAY(display))
        return false;
    GdkScreen* screen = gdk_display_get_default_screen(display);
    std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(gdk_x11_screen_get_screen_number(screen));
    Display* xdisplay = gdk_x11_display_get_xdisplay(display);
    return XGetSelectionOwner(xdisplay, gdk_x11_get_xatom_by_name_for_display(display, selection.c_str())) != None;
#else
    return false;
#endif
}

}  // namespace

bool tray_host_present()
{
    return status_notifier_host_registered() || x11_system_tray_present();
}

struct IndicatorTray::State {
    std::vector<TrayMenuItem> items;
    AppIndicator* indicator { nullptr };  // toolkit thread only
    std::atomic<bool> stopped { false };
};

namespace {

using TrayState = IndicatorTray::State;
using ItemTarget = std::pair<std::weak_ptr<TrayState>, std::size_t>;

void on_item_activated(GtkMenuItem*, gpointer data)
{
    const auto& [weak_state, index] = *static_cast<ItemTarget*>(data);
    auto state = weak_state.lock();
    if (!state || state->stopped)
        return;
    try {
        state->items[index].action();
    } catch (...) {
        // A menu action never ends the loop.
    }
}

void build_menu(const std::shared_ptr<TrayState>& state)
{
    if (!state->indicator)
        return;
    GtkWidget* menu = gtk_menu_new();
    for (std::size_t index = 0; index < state->items.size(); ++index) {
        std::string text;
        try {
            text = state->items[index].text();
        } catch (...) {
        }
        GtkWidget* entry = gtk_menu_item_new_with_label(text.c_str());
        g_signal_connect_data(
            entry, "activate", G_CALLBACK(on_item_activated), new ItemTarget(state, index),
            [](gpointer data, GClosure*) { delete static_cast<ItemTarget*>(data); }, GConnectFlags {});
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), entry);
        if (state->items[index].is_default)
            app_indicator_set_secondary_activate_target(state->indicator, entry);
    }
    gtk_widget_show_all(menu);
    app_indicator_set_menu(state->indicator, GTK_MENU(menu));
}

void remove_indicator(TrayState& state)
{
    state.stopped = true;
    if (!state.indicator)
        return;
    app_indicator_set_status(state.indicator, APP_INDICATOR_STATUS_PASSIVE);
    g_object_unref(state.indicator);
    state.indicator = nullptr;
}

}  // namespace

IndicatorTray::IndicatorTray(const std::string& name, const std::string& title, const fs::path& icon_file,
                             const fs::path& runtime_directory, std::vector<TrayMenuItem> items)
    : m_state(std::make_shared<State>())
{
    m_state->items = std::move(items);
    fs::path png = runtime_directory / "tray-icon.png";
    write_tray_icon_png(icon_file, png);
    m_state->indicator = app_indicator_new(name.c_str(), png.c_str(), APP_INDICATOR_CATEGORY_APPLICATION_STATUS);
    app_indicator_set_title(m_state->indicator, title.c_str());
    app_indicator_set_status(m_state->indicator, APP_INDICATOR_STATUS_ACTIVE);
    build_menu(m_state);
}

IndicatorTray::~IndicatorTray()
{
    remove_indicator(*m_state);
}

void IndicatorTray::rebuild_menu()
{
    run_on_toolkit_thread([weak = std::weak_ptr<State>(m_state)] {
        if (auto state = weak.lock(); state && !state->stopped)
            build_menu(state);
    });
}

void IndicatorTray::stop()
{
    // Actions chosen after a stop are dropped at once, from any thread.
    m_state->stopped = true;
    run_on_toolkit_thread([weak = std::weak_ptr<State>(m_state)] {
        if (auto state = weak.lock())
            remove_indicator(*state);
    });
}

bool IndicatorTray::shown() const
{
    return !m_state->stopped && tray_host_present();
}

}  // namespace wrenfold::platform
