#pragma once

#include <string>

namespace wrenfold::platform {

// Hands `url` to the desktop's default browser (xdg-open) without waiting for
// it. True when the request was handed over, false when it could not be.
bool open_in_default_browser(const std::string& url);

}  // namespace wrenfold::platform
