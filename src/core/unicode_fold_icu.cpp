// Blanks and case folding on ICU (the Linux build).
#include "core/unicode_text.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace wrenfold {

bool is_unicode_blank(char32_t code_point)
{
    return (code_point >= 0x1C && code_point <= 0x1F) || u_isUWhiteSpace(static_cast<UChar32>(code_point));
}

std::string fold_case(std::string_view text)
{
    auto unicode = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
    std::string folded;
    unicode.foldCase(U_FOLD_CASE_DEFAULT).toUTF8String(folded);
    return folded;
}

std::string fold_for_search(std::string_view text)
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* decompose = icu::Normalizer2::getNFKDInstance(status);
    auto unicode = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
    if (U_SUCCESS(status))
        unicode = decompose->normalize(unicode, status);
    if (U_FAILURE(status))
        return fold_case(text);
    icu::UnicodeString bare;
    for (std::int32_t i = 0; i < unicode.length();) {
        UChar32 code_point = unicode.char32At(i);
        if (u_charType(code_point) != U_NON_SPACING_MARK)
            bare.append(code_point);
        i += U16_LENGTH(code_point);
    }
    std::string folded;
    bare.foldCase(U_FOLD_CASE_DEFAULT).toUTF8String(folded);
    return folded;
}

}  // namespace wrenfold
