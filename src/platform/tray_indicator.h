#pragma once

#include "platform/desktop_handles.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace wrenfold::platform {

// The icon picture: the icon file when it loads, else a solid 64 × 64 square
// of (15, 21, 33). Written as PNG to `png_file` for the tray host to read.
// Answers whether the icon file was used.
bool write_tray_icon_png(const std::filesystem::path& icon_file, const std::filesystem::path& png_file);

// Whether the desktop has a tray to show the icon in: a StatusNotifier host
// on the session bus, or an X11 system tray.
bool tray_host_present();

// The tray icon through Ayatana AppIndicator. Created on the toolkit thread;
// its menu actions run there too. rebuild_menu and stop may come from any thread.
class IndicatorTray final : public TrayIcon {
public:
    IndicatorTray(const std::string& name, const std::string& title, const std::filesystem::path& icon_file,
                  const std::filesystem::path& runtime_directory, std::vector<TrayMenuItem> items);
    ~IndicatorTray() override;
    IndicatorTray(const IndicatorTray&) = delete;
    IndicatorTray& operator=(const IndicatorTray&) = delete;

    void rebuild_menu() override;
    void stop() override;
    bool shown() const override;

    struct State;

private:
    std::shared_ptr<State> m_state;
};

}  // namespace wrenfold::platform
