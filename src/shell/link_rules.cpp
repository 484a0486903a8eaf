#include "shell/link_rules.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace wrenfold {

std::optional<std::string> link_to_open(std::string_view url)
{
    // Control characters and blanks would let a link say one thing and open another.
    if (url.empty() || std::any_of(url.begin(), url.end(), [](unsigned char c) { return c <= 0x20 || c == 0x7f; }))
        return std::nullopt;
    auto colon = url.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    std::string scheme(url.substr(0, colon));
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::string_view rest = url.substr(colon + 1);
    if (scheme == "http" || scheme == "https") {
        if (rest.starts_with("//") && rest.size() > 2 && rest[2] != '/')
            return std::string(url);
        return std::nullopt;
    }
    if (scheme == "mailto") {
        std::string_view address = rest.substr(0, rest.find_first_of("?#"));
        if (!address.empty())
            return std::string(url.substr(0, colon + 1)) + std::string(address);
    }
    return std::nullopt;
}

}  // namespace wrenfold
