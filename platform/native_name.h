// POSIX file names are bytes, the index holds UTF-16 names, and in index paths '\'
// separates folders. Bytes that cannot stand as themselves in an index name are kept as
// the private-use character U+F000 + byte, the convention Windows' own bridges to Linux
// file systems use:
//   - a '\' inside a name (U+F05C), so an index name never holds the separator;
//   - every byte of malformed UTF-8 (U+F080..U+F0FF), so such names are not lost;
//   - the UTF-8 bytes of the characters U+F05C and U+F080..U+F0FF themselves, so the
//     mapping stays one to one and a name converts back to exactly its bytes.
// No other U+F0xx is turned into a byte, so no text can smuggle in a NUL or a '/'.
// On Windows names are UTF-16 already and none of this applies.
//
// Pure functions; any thread.
#pragma once
#include <string>
#include <string_view>

namespace nusk {

// The index form of a '\' inside a POSIX name.
constexpr char16_t kEscapedBackslash = 0xF05C;

// One entry name as listed by the system -> index text ('\' escaped).
std::u16string NameFromNative(std::string_view bytes);

// A whole path or argument -> text: like NameFromNative, but '\' stays '\' (in a POSIX
// path it is an ordinary character, and in query text the folder separator).
std::u16string PathFromNative(std::string_view bytes);

// Text -> the bytes the system expects: U+F05C and U+F080..U+F0FF become the byte they
// stand for, everything else is UTF-8 (an unpaired surrogate becomes U+FFFD). The
// inverse of both functions above: NativeFromPath(NameFromNative(b)) == b for every b
// without a NUL byte.
std::string NativeFromPath(std::u16string_view text);

}  // namespace nusk
