#include "index/name_key.h"

#include <algorithm>

#include "util/casemap.h"

namespace nusk {

namespace {
bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
char32_t Combine(char16_t hi, char16_t lo) { return 0x10000 + ((char32_t(hi) - 0xD800) << 10) + (lo - 0xDC00); }
void Split(char32_t cp, char16_t* hi, char16_t* lo) {
  cp -= 0x10000;
  *hi = static_cast<char16_t>(0xD800 + (cp >> 10));
  *lo = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
}

// Maps the unit at index (or the pair it belongs to) with map; pairs stay pairs.
template <typename CpMap>
void MapAt(char16_t* t, size_t len, size_t i, CpMap map) {
  size_t start = i;
  if (IsLow(t[i]) && i > 0 && IsHigh(t[i - 1])) start = i - 1;
  if (IsHigh(t[start]) && start + 1 < len && IsLow(t[start + 1])) {
    char32_t m = map(Combine(t[start], t[start + 1]));
    if (m >= 0x10000) Split(m, &t[start], &t[start + 1]);
    return;
  }
  char32_t m = map(t[i]);
  if (m < 0x10000) t[i] = static_cast<char16_t>(m);
}
}  // namespace

namespace name_key_detail {
void UpperAt(char16_t* s, size_t len, size_t index) { MapAt(s, len, index, ToUpperCp); }
}  // namespace name_key_detail

uint32_t NameBits(std::u16string_view lower) {
  uint32_t bits = 0;
  for (char16_t c : lower) {
    if (c > u'z') continue;
    int bit;
    switch (c) {
      case u'.': bit = 26; break;
      case u'_': bit = 27; break;
      case u'0': bit = 28; break;
      case u'1': bit = 29; break;
      case u'2': bit = 30; break;
      case u'3': bit = 31; break;
      default: bit = static_cast<int>((static_cast<uint32_t>(c) - 0x61u) & 31u);
    }
    bits |= 1u << bit;
  }
  return bits;
}

bool NameIsWide(std::u16string_view lower) {
  for (char16_t c : lower)
    if (c > 0x7F) return true;
  return false;
}

bool EncodeName(std::u16string_view name, bool is_folder, EncodedName* out) {
  if (name.empty() || name.size() > 255) return false;
  // Built in out's own key buffer (callers reuse one EncodedName, so a key costs no
  // allocation); plain ASCII, by far the most common, is lower-cased in place.
  std::u16string& key = out->key;
  key.resize(name.size() + 1);
  key[0] = is_folder ? kFolderKind : kFileKind;
  bool ascii = true;
  for (size_t i = 0; i < name.size(); ++i) {
    const char16_t c = name[i];
    ascii &= c < 0x80;
    key[i + 1] = (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
  }
  if (!ascii) {
    const std::u16string lower = ToLower(name);  // pairs as one code point; length unchanged
    std::copy(lower.begin(), lower.end(), key.begin() + 1);
  }
  const std::u16string_view lower(key.data() + 1, name.size());
  out->length = static_cast<uint8_t>(name.size());
  out->bits = NameBits(lower);
  out->wide = !ascii && NameIsWide(lower);
  uint8_t cases = 0;
  for (size_t i = 0; i < name.size(); ++i) {
    if (key[i + 1] == name[i]) continue;
    if (cases++ == 0) key.push_back(kCaseMark);
    key.push_back(static_cast<char16_t>(i + 1));
  }
  out->case_count = cases;
  return true;
}

std::u16string MakeNameKey(std::u16string_view name, bool is_folder) {
  EncodedName e;
  return EncodeName(name, is_folder, &e) ? e.key : std::u16string();
}

}  // namespace nusk
