#pragma once

#include <string>

namespace wrenfold::platform {

// The taskbar identity of the program's windows.
inline constexpr const wchar_t* kAppUserModelId = L"kelvane.wrenfold.client";

// Sets the process's taskbar identity and makes it per-monitor DPI aware
// (system-DPI aware where Windows knows no better). Each step fails quietly:
// the program starts without it.
void prepare_windows_process();

// Switches the title bar of the top-level window titled `title` to the dark
// style, where that window is ours to style. Nothing when there is none.
void apply_dark_title_bar(const std::string& title);

}  // namespace wrenfold::platform
