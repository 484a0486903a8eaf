#include "core/unicode_text.h"

#include <utility>

namespace wrenfold {

namespace {

constexpr char32_t kInvalid = 0xFFFFFFFF;

bool is_continuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// The code point starting at `offset` and its length in bytes; `kInvalid` for
// bytes that do not start a well-formed sequence.
std::pair<char32_t, std::size_t> decode_at(std::string_view text, std::size_t offset)
{
    auto lead = static_cast<unsigned char>(text[offset]);
    std::size_t length = 0;
    if (lead < 0x80)
        length = 1;
    else if (lead >= 0xC2 && lead < 0xE0)
        length = 2;
    else if (lead >= 0xE0 && lead < 0xF0)
        length = 3;
    else if (lead >= 0xF0 && lead < 0xF5)
        length = 4;
    if (length == 0 || offset + length > text.size())
        return { kInvalid, 1 };
    char32_t code_point = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        auto byte = static_cast<unsigned char>(text[offset + i]);
        if (!is_continuation(byte))
            return { kInvalid, 1 };
        code_point = (code_point << 6) | (byte & 0x3F);
    }
    constexpr char32_t smallest[] = { 0, 0, 0x80, 0x800, 0x10000 };
    if (code_point < smallest[length] || code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF))
        return { kInvalid, 1 };
    return { code_point, length };
}

bool is_blank_at(std::string_view text, std::size_t offset, std::size_t& length)
{
    auto [code_point, size] = decode_at(text, offset);
    length = size;
    return code_point != kInvalid && is_unicode_blank(code_point);
}

// Offset just past the leading white space.
std::size_t first_non_blank(std::string_view text)
{
    std::size_t offset = 0;
    std::size_t length = 0;
    while (offset < text.size() && is_blank_at(text, offset, length))
        offset += length;
    return offset;
}

// Offset of the end of the text without its trailing white space.
std::size_t end_of_non_blank(std::string_view text, std::size_t start)
{
    std::size_t end = text.size();
    while (end > start) {
        std::size_t begin = end - 1;
        while (begin > start && end - begin < 4 && is_continuation(static_cast<unsigned char>(text[begin])))
            --begin;
        std::size_t length = 0;
        if (!is_blank_at(text, begin, length) || begin + length != end)
            break;
        end = begin;
    }
    return end;
}

}  // namespace

std::string trim_unicode(std::string_view text)
{
    std::size_t start = first_non_blank(text);
    return std::string(text.substr(start, end_of_non_blank(text, start) - start));
}

bool is_blank_text(std::string_view text)
{
    return first_non_blank(text) == text.size();
}

bool equal_ignoring_case(std::string_view a, std::string_view b)
{
    return a == b || fold_case(a) == fold_case(b);
}

namespace {

// The bytes of the control character that starts at text[i], 0 when none
// does: U+0000-U+001F, U+007F, and the C1 controls U+0080-U+009F (C2 80 to C2 9F).
std::size_t control_character_at(std::string_view text, std::size_t i)
{
    auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F)
        return 1;
    if (byte == 0xC2 && i + 1 < text.size()) {
        auto next = static_cast<unsigned char>(text[i + 1]);
        if (next >= 0x80 && next <= 0x9F)
            return 2;
    }
    return 0;
}

// The bytes of U+2028 or U+2029 (E2 80 A8, E2 80 A9) at text[i], 0 when neither is there.
std::size_t line_separator_at(std::string_view text, std::size_t i)
{
    bool separator = text.substr(i, 3) == "\xE2\x80\xA8" || text.substr(i, 3) == "\xE2\x80\xA9";
    return separator ? 3 : 0;
}

}  // namespace

bool has_control_characters(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (control_character_at(text, i) > 0)
            return true;
    }
    return false;
}

std::string on_one_line(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t breaking = control_character_at(text, i);
        if (breaking == 0)
            breaking = line_separator_at(text, i);
        if (breaking > 0) {
            out += ' ';
            i += breaking;
        } else {
            out += text[i++];
        }
    }
    return out;
}

}  // namespace wrenfold
