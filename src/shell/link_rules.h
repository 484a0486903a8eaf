#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace wrenfold {

// The link to hand to the desktop for `url`, or nothing when it stays inside:
// only http, https and mailto links leave. The page shows text that the
// assistant and other people's calendars wrote, so file:, javascript:, custom
// schemes and anything malformed stay shut, and a mail link goes as its
// address alone: its query could have the mail program attach a local file.
std::optional<std::string> link_to_open(std::string_view url);

}  // namespace wrenfold
