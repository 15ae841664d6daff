// Unicode simple case mapping from one generated table, so a name gives the same
// lower-cased bytes on every platform (C-library towlower differs between them).
#pragma once
#include <string>
#include <string_view>

namespace nusk {

char32_t ToLowerCp(char32_t cp);
char32_t ToUpperCp(char32_t cp);

// Per-unit forms for the hot path: a BMP unit maps through a flat table; surrogates map to themselves.
char16_t ToLowerUnit(char16_t c);
char16_t ToUpperUnit(char16_t c);

// Whole-string forms; surrogate pairs are mapped as one code point. Simple mappings never
// change the UTF-16 length, so positions in the input stay valid in the output.
std::u16string ToLower(std::u16string_view text);
std::u16string ToUpper(std::u16string_view text);

// Case-insensitive comparison by simple lower-case mapping (<0, 0, >0).
int CompareNoCase(std::u16string_view a, std::u16string_view b);
inline bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

}  // namespace nusk
