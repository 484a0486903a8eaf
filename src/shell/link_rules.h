#pragma once

#include <string_view>

namespace wrenfold {

// Whether a link may be handed to the desktop: only http, https and mailto
// links. The page shows text that the assistant and other people's calendars
// wrote, so file:, javascript:, custom schemes and anything malformed stay shut.
bool is_openable_link(std::string_view url);

}  // namespace wrenfold
