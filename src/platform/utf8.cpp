#include "platform/utf8.h"

namespace wrenfold::platform {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Length of the well-formed sequence at the start of bytes, or 0.
std::size_t sequence_length(std::string_view bytes)
{
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    auto continuation = [&](std::size_t i) { return i < bytes.size() && (byte(i) & 0xC0) == 0x80; };
    unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return continuation(1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (!continuation(1) || !continuation(2))
            return 0;
        if (lead == 0xE0 && byte(1) < 0xA0)
            return 0;  // overlong
        if (lead == 0xED && byte(1) >= 0xA0)
            return 0;  // surrogate
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (!continuation(1) || !continuation(2) || !continuation(3))
            return 0;
        if (lead == 0xF0 && byte(1) < 0x90)
            return 0;
        if (lead == 0xF4 && byte(1) >= 0x90)
            return 0;
        return 4;
    }
    return 0;
}

}  // namespace

std::string decode_utf8_replacing(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size());
    while (!bytes.empty()) {
        std::size_t length = sequence_length(bytes);
        if (length == 0) {
            text += kReplacement;
            length = 1;
        } else {
            text += bytes.substr(0, length);
        }
        bytes.remove_prefix(length);
    }
    return text;
}

}  // namespace wrenfold::platform
