#include "core/unicode_text.h"

#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

namespace wrenfold {

namespace {

// Offset just past the leading white space.
std::size_t first_non_blank(std::string_view text)
{
    std::size_t offset = 0;
    while (offset < text.size()) {
        std::int32_t next = static_cast<std::int32_t>(offset);
        UChar32 c;
        U8_NEXT(text.data(), next, static_cast<std::int32_t>(text.size()), c);
        if (c < 0 || !is_unicode_blank(static_cast<char32_t>(c)))
            break;
        offset = static_cast<std::size_t>(next);
    }
    return offset;
}

// Offset of the end of the text without its trailing white space.
std::size_t end_of_non_blank(std::string_view text, std::size_t start)
{
    std::size_t end = text.size();
    while (end > start) {
        std::int32_t previous = static_cast<std::int32_t>(end);
        UChar32 c;
        U8_PREV(text.data(), static_cast<std::int32_t>(start), previous, c);
        if (c < 0 || !is_unicode_blank(static_cast<char32_t>(c)))
            break;
        end = static_cast<std::size_t>(previous);
    }
    return end;
}

}  // namespace

bool is_unicode_blank(char32_t code_point)
{
    return (code_point >= 0x1C && code_point <= 0x1F) || u_isUWhiteSpace(static_cast<UChar32>(code_point));
}

std::string trim_unicode(std::string_view text)
{
    std::size_t start = first_non_blank(text);
    return std::string(text.substr(start, end_of_non_blank(text, start) - start));
}

bool is_blank_text(std::string_view text)
{
    return first_non_blank(text) == text.size();
}

std::string fold_case(std::string_view text)
{
    auto unicode = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
    std::string folded;
    unicode.foldCase(U_FOLD_CASE_DEFAULT).toUTF8String(folded);
    return folded;
}

bool equal_ignoring_case(std::string_view a, std::string_view b)
{
    return a == b || fold_case(a) == fold_case(b);
}

bool has_control_characters(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7F)
            return true;
        // C1 controls are U+0080-U+009F, encoded C2 80 to C2 9F.
        if (byte == 0xC2 && i + 1 < text.size()) {
            auto next = static_cast<unsigned char>(text[i + 1]);
            if (next >= 0x80 && next <= 0x9F)
                return true;
        }
    }
    return false;
}

}  // namespace wrenfold
