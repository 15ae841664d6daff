// NameKey and NameBits: how a name is encoded for storage, ordering and fast rejection.
//
// NameKey = kind ('1' folder, '2' file) + lower-cased name [+ 0x1F + one unit per
// upper-case position (1-based, increasing)]. Keys sort by plain UTF-16 unit comparison,
// so all folders precede all files and names that differ only in case are adjacent.
// Lower-casing goes through util/casemap.h so both platforms produce the same keys; a
// surrogate pair is lower-cased as one code point and the positions of the units it
// changed are noted.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace nusk {

inline constexpr char16_t kFolderKind = u'1';
inline constexpr char16_t kFileKind = u'2';
inline constexpr char16_t kCaseMark = 0x1F;

// The 32-bit letter signature of a lower-cased name: 'a'-'z' bits 0-25, '.' 26, '_' 27,
// '0'-'3' 28-31; any other unit up to 'z' folds to bit ((c - 'a') mod 32); units above
// 'z' set no bit. A search text's signature is a subset of every name containing it.
uint32_t NameBits(std::u16string_view lower_name);
// True when any unit of the name is above 0x7F (stored as UTF-16 instead of bytes).
bool NameIsWide(std::u16string_view lower_name);

// A name split into its stored parts.
struct EncodedName {
  std::u16string key;      // the whole NameKey
  uint8_t length = 0;      // name units (kind and case part not counted)
  uint8_t case_count = 0;  // number of upper-case positions
  uint32_t bits = 0;       // NameBits of the lower-cased name
  bool wide = false;
};

// Encodes a name. Fails (returns false, *out untouched) for an empty name or one longer
// than 255 units, which the 8-bit length field cannot hold.
bool EncodeName(std::u16string_view name, bool is_folder, EncodedName* out);

// Convenience: the key alone (empty when the name cannot be encoded).
std::u16string MakeNameKey(std::u16string_view name, bool is_folder);

// Rebuilds the name in its exact case from the lower-cased text and the 1-based
// positions: each noted unit (or the code point containing it) is upper-cased.
// Positions outside the text are ignored.
template <typename Pos>
std::u16string RestoreCase(std::u16string_view lower, const Pos* positions, size_t count);

}  // namespace nusk

#include "index/name_key_inl.h"
