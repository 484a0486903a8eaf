#pragma once

#include <string>
#include <string_view>

namespace wrenfold {

// (Windows only.) Windows speaks UTF-16; everything of ours is UTF-8. Ill-formed input
// becomes U+FFFD either way, so a stray byte never cuts a text short.
std::wstring to_wide(std::string_view text);
std::string from_wide(std::wstring_view text);

}  // namespace wrenfold
