// Blanks and case folding with Windows' own functions (the Windows build):
// LCMapStringEx lowercases, NormalizeString decomposes, GetStringTypeW finds
// the combining marks. Lowercasing is simple case mapping, so the foldings
// that differ from it (ß to "ss", final sigma, the ligatures) follow a table.
#include "core/unicode_text.h"

#include "core/wide_text.h"

#include <windows.h>

#include <algorithm>
#include <iterator>
#include <string>

namespace wrenfold {
namespace {

struct Folding {
    wchar_t from;
    const wchar_t* to;
};

// Case folds (Unicode CaseFolding.txt) of lowercase letters whose fold is
// not themselves: what lowercasing alone leaves apart.
constexpr Folding kFoldings[] = {
    { L'\u00B5', L"\u03BC" },
    { L'\u00DF', L"ss" },
    { L'\u017F', L"s" },
    { L'\u0149', L"\u02BCn" },
    { L'\u01F0', L"j\u030C" },
    { L'\u0390', L"\u03B9\u0308\u0301" },
    { L'\u03B0', L"\u03C5\u0308\u0301" },
    { L'\u03C2', L"\u03C3" },
    { L'\u03D0', L"\u03B2" },
    { L'\u03D1', L"\u03B8" },
    { L'\u03D5', L"\u03C6" },
    { L'\u03D6', L"\u03C0" },
    { L'\u03F0', L"\u03BA" },
    { L'\u03F1', L"\u03C1" },
    { L'\u03F5', L"\u03B5" },
    { L'\u0587', L"\u0565\u0582" },
    { L'\u1E9B', L"\u1E61" },
    { L'\u1E9E', L"ss" },
    { L'\u1FBE', L"\u03B9" },
    { L'\uFB00', L"ff" },
    { L'\uFB01', L"fi" },
    { L'\uFB02', L"fl" },
    { L'\uFB03', L"ffi" },
    { L'\uFB04', L"ffl" },
    { L'\uFB05', L"st" },
    { L'\uFB06', L"st" },
};

std::wstring lowercase(const std::wstring& wide)
{
    if (wide.empty())
        return {};
    DWORD flags = LCMAP_LOWERCASE | LCMAP_LINGUISTIC_CASING;
    int size = LCMapStringEx(LOCALE_NAME_INVARIANT, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                             nullptr, nullptr, 0);
    if (size <= 0)
        return wide;
    std::wstring lower(static_cast<std::size_t>(size), L'\0');
    LCMapStringEx(LOCALE_NAME_INVARIANT, flags, wide.data(), static_cast<int>(wide.size()), lower.data(), size, nullptr,
                  nullptr, 0);
    return lower;
}

std::wstring fold_wide(const std::wstring& wide)
{
    std::wstring lower = lowercase(wide);
    std::wstring folded;
    folded.reserve(lower.size());
    for (wchar_t c : lower) {
        auto found =
            std::find_if(std::begin(kFoldings), std::end(kFoldings), [c](const Folding& f) { return f.from == c; });
        if (found != std::end(kFoldings))
            folded += found->to;
        else
            folded += c;
    }
    return folded;
}

std::wstring decompose_compatibility(const std::wstring& wide)
{
    if (wide.empty())
        return {};
    int estimate = NormalizeString(NormalizationKD, wide.data(), static_cast<int>(wide.size()), nullptr, 0);
    // The first answer is an estimate: a buffer too small is answered with
    // ERROR_INSUFFICIENT_BUFFER and a new estimate.
    for (int attempt = 0; attempt < 4 && estimate > 0; ++attempt) {
        std::wstring out(static_cast<std::size_t>(estimate), L'\0');
        int size = NormalizeString(NormalizationKD, wide.data(), static_cast<int>(wide.size()), out.data(), estimate);
        if (size > 0) {
            out.resize(static_cast<std::size_t>(size));
            return out;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            break;
        estimate = -size;
    }
    return wide;
}

std::wstring without_combining_marks(const std::wstring& wide)
{
    if (wide.empty())
        return {};
    std::wstring types(wide.size(), L'\0');
    static_assert(sizeof(WORD) == sizeof(wchar_t));
    if (!GetStringTypeW(CT_CTYPE3, wide.data(), static_cast<int>(wide.size()), reinterpret_cast<WORD*>(types.data())))
        return wide;
    std::wstring bare;
    for (std::size_t i = 0; i < wide.size(); ++i)
        if (!(static_cast<WORD>(types[i]) & C3_NONSPACING))
            bare += wide[i];
    return bare;
}

}  // namespace

bool is_unicode_blank(char32_t code_point)
{
    // The Unicode White_Space property, and the ASCII separators U+001C-U+001F.
    return (code_point >= 0x09 && code_point <= 0x0D) || (code_point >= 0x1C && code_point <= 0x20) ||
        code_point == 0x85 || code_point == 0xA0 || code_point == 0x1680 ||
        (code_point >= 0x2000 && code_point <= 0x200A) || code_point == 0x2028 || code_point == 0x2029 ||
        code_point == 0x202F || code_point == 0x205F || code_point == 0x3000;
}

std::string fold_case(std::string_view text)
{
    return from_wide(fold_wide(to_wide(text)));
}

std::string fold_for_search(std::string_view text)
{
    return from_wide(fold_wide(without_combining_marks(decompose_compatibility(to_wide(text)))));
}

}  // namespace wrenfold
