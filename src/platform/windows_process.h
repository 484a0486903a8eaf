#pragma once

#include <string>

namespace wrenfold::platform {

// The taskbar identity of the program's windows.
inline constexpr const wchar_t* kAppUserModelId = L"kelvane.wrenfold.client";

// Sets the process's taskbar identity and makes it per-monitor DPI aware
// (system-DPI aware where Windows knows no better). Each step fails quietly:
// the program starts without it.
void prepare_windows_process();

// The program is built without a console of its own, so that none opens
// beside its window. Started from one (cmd, PowerShell, a script), it joins
// that console: the standard streams that were not handed something else (a
// file, a pipe) write to it, and its Ctrl-C and close reach the program.
void use_parent_console();

// Switches the title bar of the top-level window titled `title` to the dark
// style, where that window is ours to style. Nothing when there is none.
void apply_dark_title_bar(const std::string& title);

}  // namespace wrenfold::platform
