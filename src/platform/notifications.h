#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace wrenfold::platform {

struct DesktopNotification {
    std::string title;
    std::string body;
    bool sound { false };
    // (key, label) of each button; the key comes back when it is clicked.
    std::vector<std::pair<std::string, std::string>> actions;
};

// Shows notifications on the desktop.
class Notifier {
public:
    virtual ~Notifier() = default;
    // The notification's id, or nothing when no notification service took it.
    virtual std::optional<std::uint32_t> show(const DesktopNotification& notification) = 0;
};

// A button clicked ("default" for the notification itself) on the
// notification of that id. Called on the notifier's own thread.
using NotificationAction = std::function<void(std::uint32_t id, const std::string& action)>;

// org.freedesktop.Notifications on the session bus; nothing when there is no
// session bus.
std::unique_ptr<Notifier> session_bus_notifier(NotificationAction on_action);

}  // namespace wrenfold::platform
