#pragma once

#include <string>
#include <string_view>

namespace wrenfold::platform {

// Bytes read from a child, decoded as UTF-8: every byte that does not start a
// well-formed sequence becomes U+FFFD, as a text decoder with "replace" does.
std::string decode_utf8_replacing(std::string_view bytes);

}  // namespace wrenfold::platform
