// Windows has no session bus: reminders are shown as the tray icon's
// balloons (NotifyIconTray is a Notifier), handed to the reminders when the
// window and its tray start. Without a tray they show in the page.
#include "platform/notifications.h"

namespace wrenfold::platform {

std::unique_ptr<Notifier> session_bus_notifier(NotificationAction)
{
    return nullptr;
}

}  // namespace wrenfold::platform
