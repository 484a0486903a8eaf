#pragma once

#include <string>
#include <string_view>

namespace wrenfold {

// Text as people type it: input methods put in no-break and ideographic
// spaces, and names are written in any script, so trimming and comparing
// without regard to case follow Unicode rather than ASCII.

// Whether the code point counts as white space when trimming: Unicode
// White_Space (U+00A0, U+3000, ...) and the ASCII separators U+001C-U+001F.
bool is_unicode_blank(char32_t code_point);

// The UTF-8 text without white space at either end. Bytes that are not valid
// UTF-8 are never removed.
std::string trim_unicode(std::string_view text);

// Whether the text holds nothing but white space.
bool is_blank_text(std::string_view text);

// Full Unicode case folding ("Ärzte" and "ärzte", "STRASSE" and "straße"
// fold alike). Invalid UTF-8 folds to U+FFFD.
std::string fold_case(std::string_view text);

bool equal_ignoring_case(std::string_view a, std::string_view b);

// The text as a search compares it: case folded, compatibility forms
// decomposed and accents dropped ("Café" and "CAFE", "ﬁ" and "fi" fold alike).
std::string fold_for_search(std::string_view text);

// Whether the UTF-8 text holds a control character (U+0000-U+001F, U+007F,
// U+0080-U+009F): such text must never reach an HTTP header, an environment
// variable or a command line, where a line break starts something new.
bool has_control_characters(std::string_view text);

// The text with every control character and the Unicode line and paragraph
// separators (U+2028, U+2029) replaced by a space, so that it stays on one line.
std::string on_one_line(std::string_view text);

}  // namespace wrenfold
