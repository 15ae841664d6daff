// Conversions between the UTF-16 text of the core and UTF-8 (wire, console, POSIX paths).
// Unpaired surrogates become U+FFFD on the way to UTF-8; malformed UTF-8 becomes U+FFFD.
#pragma once
#include <string>
#include <string_view>

namespace nusk {

std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

// Decodes the code point that starts at text[*i] (i < text.size()) and moves *i past it: a
// surrogate pair yields its supplementary code point, an unpaired surrogate yields U+FFFD.
char32_t NextCodePoint(std::u16string_view text, size_t* i);

// Appends one code point (at most U+10FFFF) as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

// Writes one code point (at most U+10FFFF) as UTF-8 at out, which has room for 4 bytes;
// returns the end of what it wrote. For converting loops that size their output once:
// a UTF-16 unit needs at most 3 bytes (a surrogate pair, two units, takes 4).
char* PutUtf8(char* out, char32_t cp);

// Latin-1 / ASCII bytes widened one to one (the database's 8-bit names).
std::u16string FromLatin1(std::string_view bytes);

// Convenience for literals and messages in the core: ASCII-only input.
inline std::u16string U16(std::string_view ascii) { return FromLatin1(ascii); }

}  // namespace nusk
