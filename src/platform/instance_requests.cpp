// The lines a later start and the running instance exchange; the same on
// every system.
#include "platform/single_instance.h"

#include "core/hex.h"

namespace wrenfold::platform {

namespace {

constexpr std::string_view kOpenPrefix = "open ";
constexpr std::string_view kHexDigits = "0123456789abcdef";

}  // namespace

std::optional<std::string> open_request(const std::filesystem::path& file)
{
    std::u8string bytes = file.u8string();
    std::string line(kOpenPrefix);
    for (char8_t byte : bytes) {
        line += kHexDigits[(byte >> 4) & 0xF];
        line += kHexDigits[byte & 0xF];
    }
    if (line.size() >= kMaxRequestLine)
        return std::nullopt;
    return line;
}

std::optional<std::filesystem::path> file_to_open(std::string_view request)
{
    if (!request.starts_with(kOpenPrefix))
        return std::nullopt;
    std::string_view hex = request.substr(kOpenPrefix.size());
    if (hex.empty() || hex.size() % 2 != 0)
        return std::nullopt;
    std::u8string bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        int high = hex_digit_value(hex[i]);
        int low = hex_digit_value(hex[i + 1]);
        if (high < 0 || low < 0 || (high == 0 && low == 0))
            return std::nullopt;
        bytes += static_cast<char8_t>(high * 16 + low);
    }
    std::filesystem::path file(bytes);
    if (!file.is_absolute())
        return std::nullopt;
    return file;
}

}  // namespace wrenfold::platform
