// Value forms of the profile functions shared by both implementations: the quote stripping
// of the string reader, the hexadecimal struct form, and the section-name buffer limit.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace nusk {

// The profile reader drops one enclosing pair of matching quotes (" or '), once.
std::u16string_view StripEnclosingQuotes(std::u16string_view value);

// True when text holds a character outside ASCII, which a file in the ANSI code page
// cannot be trusted to keep (the profile then rewrites the file as UTF-16).
bool HasNonAscii(std::u16string_view text);

// Each byte as two upper-case hex digits, then the checksum byte (sum modulo 256).
std::u16string EncodeStructHex(const void* data, size_t size);

// Parses exactly size bytes plus checksum from trimmed text. Writes *out only on success:
// false for another length, a non-hex digit or a checksum that does not match.
bool DecodeStructHex(std::u16string_view text, void* out, size_t size);

// The names that fit whole in a buffer of buffer_chars characters, each followed by a
// NUL and the list by one more (the section-names call drops what does not fit).
std::vector<std::u16string> FitSectionNames(std::vector<std::u16string> names, size_t buffer_chars);

}  // namespace nusk
