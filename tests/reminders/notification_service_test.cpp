// Reminders delivered through a stand-in of the desktop's notification
// service on a private session bus (run under dbus-run-session).
#include "caldav/ical_events.h"
#include "platform/notifications.h"
#include "reminders/reminder_service.h"
#include "support/temp_dir.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <thread>

namespace wrenfold {
namespace {

using namespace std::chrono;
using testing::TempDir;

constexpr const char* kInterface = R"(<node><interface name="org.freedesktop.Notifications">
  <method name="Notify"><arg type="s" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/>
    <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="as" direction="in"/>
    <arg type="a{sv}" direction="in"/><arg type="i" direction="in"/><arg type="u" direction="out"/></method>
  <signal name="ActionInvoked"><arg type="u"/><arg type="s"/></signal>
</interface></node>)";

struct Notified {
    std::uint32_t id;
    std::string title;
    std::string body;
    std::vector<std::string> actions;
    system_clock::time_point at;
};

// Owns org.freedesktop.Notifications on a connection of its own, records
// every Notify and clicks buttons on request.
class StandInNotificationService {
public:
    StandInNotificationService()
    {
        gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        if (!address)
            throw std::runtime_error("no session bus: run under dbus-run-session");
        m_connection =
            g_dbus_connection_new_for_address_sync(address,
                                                   GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                                                   nullptr, nullptr, nullptr);
        g_free(address);
        m_context = g_main_context_new();
        m_loop = g_main_loop_new(m_context, FALSE);
        g_main_context_push_thread_default(m_context);
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kInterface, nullptr);
        static const GDBusInterfaceVTable vtable { &on_call, nullptr, nullptr, {} };
        m_registration = g_dbus_connection_register_object(m_connection, "/org/freedesktop/Notifications",
                                                           node->interfaces[0], &vtable, this, nullptr, nullptr);
        g_dbus_node_info_unref(node);
        GVariant* owned = g_dbus_connection_call_sync(
            m_connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
            g_variant_new("(su)", "org.freedesktop.Notifications", 4u), G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE,
            -1, nullptr, nullptr);
        if (owned)
            g_variant_unref(owned);
        g_main_context_pop_thread_default(m_context);
        m_thread = std::thread([this] {
            g_main_context_push_thread_default(m_context);
            g_main_loop_run(m_loop);
            g_main_context_pop_thread_default(m_context);
        });
    }

    ~StandInNotificationService()
    {
        g_dbus_connection_unregister_object(m_connection, m_registration);
        g_main_loop_quit(m_loop);
        m_thread.join();
        g_dbus_connection_close_sync(m_connection, nullptr, nullptr);
        g_object_unref(m_connection);
        g_main_loop_unref(m_loop);
        g_main_context_unref(m_context);
    }

    // The notifications shown once `count` have come, or within `limit` however many came.
    std::vector<Notified> wait_for(std::size_t count, milliseconds limit)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, limit, [&] { return m_notified.size() >= count; });
        return m_notified;
    }

    void click(std::uint32_t id, const char* action)
    {
        g_dbus_connection_emit_signal(m_connection, nullptr, "/org/freedesktop/Notifications",
                                      "org.freedesktop.Notifications", "ActionInvoked",
                                      g_variant_new("(us)", id, action), nullptr);
    }

private:
    static void on_call(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                        GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self_pointer)
    {
        auto* self = static_cast<StandInNotificationService*>(self_pointer);
        if (std::string(method) != "Notify") {
            g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.UnknownMethod", "");
            return;
        }
        const gchar *title = nullptr, *body = nullptr;
        GVariantIter* actions = nullptr;
        g_variant_get(parameters, "(&su&s&s&sas@a{sv}i)", nullptr, nullptr, nullptr, &title, &body, &actions, nullptr,
                      nullptr);
        Notified notified { 0, title, body, {}, system_clock::now() };
        const gchar* action = nullptr;
        while (g_variant_iter_next(actions, "&s", &action))
            notified.actions.push_back(action);
        g_variant_iter_free(actions);
        {
            std::lock_guard lock(self->m_mutex);
            notified.id = static_cast<std::uint32_t>(self->m_notified.size() + 1);
            self->m_notified.push_back(notified);
        }
        self->m_changed.notify_all();
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(u)", notified.id));
    }

    GDBusConnection* m_connection = nullptr;
    GMainContext* m_context = nullptr;
    GMainLoop* m_loop = nullptr;
    guint m_registration = 0;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Notified> m_notified;
};

std::string utc_text(sys_seconds instant)
{
    std::time_t time = system_clock::to_time_t(instant);
    std::tm parts {};
    gmtime_r(&time, &parts);
    char text[20];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &parts);
    return text;
}

// The calendar as the application would list it: one event starting at
// `start` with a one-minute alert, or nothing once it is deleted.
class Calendar {
public:
    explicit Calendar(sys_seconds start)
        : m_ics("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:standup\r\nDTSTAMP:20260101T000000Z\r\n"
                "DTSTART:" +
                utc_text(start) +
                "\r\nDURATION:PT15M\r\nSUMMARY:Standup\r\nLOCATION:Room 5\r\n"
                "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT1M\r\nDESCRIPTION:x\r\nEND:VALARM\r\n"
                "END:VEVENT\r\nEND:VCALENDAR\r\n")
    {
    }
    void remove() { m_ics.replace(""); }

    std::vector<ListedEvents> list(sys_seconds from, sys_seconds to) const
    {
        std::string ics = m_ics.snapshot();
        ListedEvents listed { "https://h/cal/", {} };
        if (!ics.empty()) {
            caldav::IcalPtr calendar = caldav::parse_calendar(ics);
            caldav::expand_resource(calendar.get(), { "https://h/cal/standup.ics", "\"1\"" }, { from, to },
                                    caldav::home_zone_for("Asia/Taipei"), listed.events);
        }
        return { listed };
    }

private:
    Guarded<std::string> m_ics;
};

class Reminders {
public:
    Reminders(const std::filesystem::path& state, const Calendar& calendar,
              milliseconds first_list_within = milliseconds(0))
        : m_service(state,
                    ReminderHooks { [&calendar](sys_seconds from, sys_seconds to) { return calendar.list(from, to); },
                                    [] { return ReminderSettings {}; }, [] { return std::string("en"); },
                                    [](const DueAlarm&) {} },
                    seconds(2))
    {
        m_service.start(platform::session_bus_notifier([this](std::uint32_t id, const std::string& action) {
                            m_service.on_notification_action(id, action);
                        }),
                        first_list_within);
    }
    ReminderService& service() { return m_service; }

private:
    ReminderService m_service;
};

sys_seconds whole_seconds_from_now(seconds ahead)
{
    return floor<seconds>(system_clock::now()) + ahead;
}

TEST(ReminderDelivery, OnTimeWithTitleAndPlaceSnoozedBackAndNeverTwiceAcrossARestart)
{
    StandInNotificationService desktop;
    TempDir dir;
    const sys_seconds start = whole_seconds_from_now(seconds(63));  // the alert is due in 3 s
    Calendar calendar(start);
    auto reminders = std::make_unique<Reminders>(dir.path() / "reminders.json", calendar);

    auto shown = desktop.wait_for(1, seconds(10));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_GE(shown[0].at, start - minutes(1));
    EXPECT_LT(shown[0].at, start - minutes(1) + seconds(2));
    EXPECT_EQ(shown[0].title, "Standup");
    EXPECT_EQ(shown[0].body, "in 1 minute\nRoom 5");
    EXPECT_EQ(shown[0].actions, (std::vector<std::string> { "snooze", "Snooze", "open", "Open", "default", "Open" }));

    desktop.click(shown[0].id, "snooze");
    shown = desktop.wait_for(2, seconds(10));
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_GE(shown[1].at - shown[0].at, seconds(2));
    EXPECT_EQ(shown[1].title, "Standup");

    // Started again on the same state, the reminder is not shown a third time.
    reminders.reset();
    reminders = std::make_unique<Reminders>(dir.path() / "reminders.json", calendar);
    EXPECT_EQ(desktop.wait_for(3, seconds(3)).size(), 2u);
}

TEST(ReminderDelivery, AnEventDeletedBeforeItsAlarmNeverReminds)
{
    StandInNotificationService desktop;
    TempDir dir;
    Calendar calendar(whole_seconds_from_now(seconds(64)));
    Reminders reminders(dir.path() / "reminders.json", calendar);
    std::this_thread::sleep_for(seconds(1));
    calendar.remove();
    reminders.service().refresh();
    EXPECT_TRUE(desktop.wait_for(1, seconds(6)).empty());
}

TEST(ReminderDelivery, AMissedAlarmHeldAtStartShowsOnceReleasedOrAtTheLimit)
{
    StandInNotificationService desktop;
    TempDir dir;
    Calendar calendar(whole_seconds_from_now(seconds(30)));  // its alert was due 30 s ago

    Reminders held(dir.path() / "held.json", calendar, minutes(1));
    EXPECT_TRUE(desktop.wait_for(1, milliseconds(800)).empty());
    held.service().release_first_list();
    auto shown = desktop.wait_for(1, seconds(5));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "Standup");

    // Nothing releases it: it lists once the limit has passed.
    Reminders unreleased(dir.path() / "unreleased.json", calendar, milliseconds(500));
    EXPECT_EQ(desktop.wait_for(2, seconds(5)).size(), 2u);
}

}  // namespace
}  // namespace wrenfold
