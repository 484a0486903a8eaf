#include "platform/notifications.h"

#include <gio/gio.h>

#include <thread>

namespace wrenfold::platform {
namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr int kCallTimeoutMs = 5000;

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};

// The service's signals come back on a main loop of our own thread, so that
// nothing depends on the toolkit's loop (there is none in browser mode).
class SessionBusNotifier final : public Notifier {
public:
    SessionBusNotifier(GDBusConnection* connection, NotificationAction on_action)
        : m_connection(connection),
          m_on_action(std::move(on_action)),
          m_context(g_main_context_new()),
          m_loop(g_main_loop_new(m_context, FALSE))
    {
        g_main_context_push_thread_default(m_context);
        m_subscription =
            g_dbus_connection_signal_subscribe(m_connection.get(), kService, kService, "ActionInvoked", kPath, nullptr,
                                               G_DBUS_SIGNAL_FLAGS_NONE, &on_signal, this, nullptr);
        g_main_context_pop_thread_default(m_context);
        m_thread = std::thread([this] {
            g_main_context_push_thread_default(m_context);
            g_main_loop_run(m_loop);
            g_main_context_pop_thread_default(m_context);
        });
    }

    ~SessionBusNotifier() override
    {
        g_dbus_connection_signal_unsubscribe(m_connection.get(), m_subscription);
        g_main_loop_quit(m_loop);
        m_thread.join();
        g_main_loop_unref(m_loop);
        g_main_context_unref(m_context);
    }

    SessionBusNotifier(const SessionBusNotifier&) = delete;
    SessionBusNotifier& operator=(const SessionBusNotifier&) = delete;

    std::optional<std::uint32_t> show(const DesktopNotification& notification) override
    {
        GVariantBuilder actions;
        g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
        for (const auto& [key, label] : notification.actions) {
            g_variant_builder_add(&actions, "s", key.c_str());
            g_variant_builder_add(&actions, "s", label.c_str());
        }
        GVariantBuilder hints;
        g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
        g_variant_builder_add(&hints, "{sv}", "category", g_variant_new_string("x-wrenfold.reminder"));
        g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string("wrenfold"));
        if (notification.sound)
            g_variant_builder_add(&hints, "{sv}", "sound-name", g_variant_new_string("message-new-instant"));
        else
            g_variant_builder_add(&hints, "{sv}", "suppress-sound", g_variant_new_boolean(TRUE));
        // Servers that read markup in the body would take an event's text as
        // markup: it is escaped, and shown as written either way.
        std::unique_ptr<gchar, decltype(&g_free)> body(g_markup_escape_text(notification.body.c_str(), -1), &g_free);
        GError* error = nullptr;
        GVariant* reply =
            g_dbus_connection_call_sync(m_connection.get(), kService, kPath, kService, "Notify",
                                        g_variant_new("(susssasa{sv}i)", "Wrenfold", 0u, "wrenfold",
                                                      notification.title.c_str(), body.get(), &actions, &hints, -1),
                                        G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, &error);
        if (!reply) {
            g_clear_error(&error);
            return std::nullopt;
        }
        guint32 id = 0;
        g_variant_get(reply, "(u)", &id);
        g_variant_unref(reply);
        return id;
    }

private:
    static void on_signal(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                          GVariant* parameters, gpointer self)
    {
        if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(us)")))
            return;
        guint32 id = 0;
        const gchar* action = nullptr;
        g_variant_get(parameters, "(u&s)", &id, &action);
        static_cast<SessionBusNotifier*>(self)->m_on_action(id, action ? action : "");
    }

    std::unique_ptr<GDBusConnection, GObjectUnref> m_connection;
    NotificationAction m_on_action;
    GMainContext* m_context;
    GMainLoop* m_loop;
    guint m_subscription { 0 };
    std::thread m_thread;
};

}  // namespace

std::unique_ptr<Notifier> session_bus_notifier(NotificationAction on_action)
{
    GError* error = nullptr;
    GDBusConnection* connection = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!connection) {
        g_clear_error(&error);
        return nullptr;
    }
    // The shared session connection ends the process when the bus goes away,
    // unless told otherwise: a lost notification service must not end the calendar.
    g_dbus_connection_set_exit_on_close(connection, FALSE);
    return std::make_unique<SessionBusNotifier>(connection, std::move(on_action));
}

}  // namespace wrenfold::platform
