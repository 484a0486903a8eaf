#pragma once

#include <chrono>
#include <string>

namespace wrenfold::platform {

// The text on the desktop's clipboard, read on the toolkit thread (which must
// be running its loop). "" when the clipboard holds no text, or when its owner
// has not answered within `limit`.
std::string read_clipboard_text(std::chrono::milliseconds limit);

}  // namespace wrenfold::platform
