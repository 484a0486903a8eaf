#pragma once

#include "platform/desktop_handles.h"
#include "platform/notifications.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace wrenfold::platform {

// The window class of the tray's hidden window (tests find it by this name).
inline constexpr const wchar_t* kTrayWindowClass = L"WrenfoldTrayWindow";
// The message the notification area sends that window about the icon (WM_APP + 1).
inline constexpr unsigned kTrayIconMessage = 0x8000 + 1;

// The icon in the Windows notification area (Shell_NotifyIcon), on a thread
// of its own with a hidden window for its messages. Clicking the icon runs
// the default item; the right button opens the menu, whose texts are asked
// for each time it opens. It also shows reminders as balloon notifications:
// a click on one comes back as the action "default" (balloons have no
// buttons). When Explorer restarts, the icon is added again.
class NotifyIconTray final : public TrayIcon, public Notifier {
public:
    // `icon_file` is an .ico; when it does not load, a solid square of
    // (15, 21, 33) stands in.
    NotifyIconTray(const std::string& tip, const std::filesystem::path& icon_file, std::vector<TrayMenuItem> items,
                   NotificationAction on_notification_action);
    ~NotifyIconTray() override;
    NotifyIconTray(const NotifyIconTray&) = delete;
    NotifyIconTray& operator=(const NotifyIconTray&) = delete;

    void rebuild_menu() override;
    void stop() override;
    bool shown() const override;
    std::optional<std::uint32_t> show(const DesktopNotification& notification) override;

    struct State;

private:
    std::shared_ptr<State> m_state;
};

}  // namespace wrenfold::platform
