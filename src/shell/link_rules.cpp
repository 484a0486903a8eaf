#include "shell/link_rules.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace wrenfold {

bool is_openable_link(std::string_view url)
{
    // Control characters and blanks would let a link say one thing and open another.
    if (url.empty() || std::any_of(url.begin(), url.end(), [](unsigned char c) { return c <= 0x20 || c == 0x7f; }))
        return false;
    auto colon = url.find(':');
    if (colon == std::string_view::npos)
        return false;
    std::string scheme(url.substr(0, colon));
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::string_view rest = url.substr(colon + 1);
    if (scheme == "http" || scheme == "https")
        return rest.starts_with("//") && rest.size() > 2 && rest[2] != '/';
    if (scheme == "mailto")
        return !rest.empty();
    return false;
}

}  // namespace wrenfold
