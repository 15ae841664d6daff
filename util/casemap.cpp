#include "util/casemap.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace nusk {

namespace {
struct CasePair {
  uint32_t from;
  uint32_t to;
};
#include "util/casemap_table.inc"

// Flat BMP tables (2 x 128 KiB): lower-casing runs for every name of a build. Computed by
// the compiler, so they lie in the program's read-only data and a short process (a console
// search) reads only the pages it uses instead of filling 256 KiB of fresh memory.
struct BmpTables {
  std::array<char16_t, 0x10000> lower;
  std::array<char16_t, 0x10000> upper;
};

constexpr BmpTables MakeTables() {
  BmpTables t{};
  for (uint32_t i = 0; i < 0x10000; ++i) t.lower[i] = t.upper[i] = static_cast<char16_t>(i);
  for (const CasePair& p : kToLower)
    if (p.from < 0x10000 && p.to < 0x10000) t.lower[p.from] = static_cast<char16_t>(p.to);
  for (const CasePair& p : kToUpper)
    if (p.from < 0x10000 && p.to < 0x10000) t.upper[p.from] = static_cast<char16_t>(p.to);
  return t;
}

constexpr BmpTables kTables = MakeTables();

const BmpTables& Tables() { return kTables; }

template <size_t N>
char32_t Lookup(const CasePair (&pairs)[N], char32_t cp) {
  const CasePair* it = std::lower_bound(std::begin(pairs), std::end(pairs), cp,
                                        [](const CasePair& p, char32_t v) { return p.from < v; });
  return (it != std::end(pairs) && it->from == cp) ? it->to : cp;
}

template <typename UnitMap, typename CpMap>
std::u16string MapString(std::u16string_view text, UnitMap unit, CpMap cpmap) {
  std::u16string out(text);
  for (size_t i = 0; i < out.size(); ++i) {
    char16_t c = out[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < out.size() && out[i + 1] >= 0xDC00 && out[i + 1] <= 0xDFFF) {
      char32_t cp = 0x10000 + ((c - 0xD800) << 10) + (out[i + 1] - 0xDC00);
      char32_t m = cpmap(cp);
      if (m >= 0x10000) {  // stays a pair, so the length is unchanged
        m -= 0x10000;
        out[i] = static_cast<char16_t>(0xD800 + (m >> 10));
        out[i + 1] = static_cast<char16_t>(0xDC00 + (m & 0x3FF));
      }
      ++i;
    } else {
      out[i] = unit(c);
    }
  }
  return out;
}
}  // namespace

char32_t ToLowerCp(char32_t cp) { return cp < 0x10000 ? Tables().lower[cp] : Lookup(kToLower, cp); }
char32_t ToUpperCp(char32_t cp) { return cp < 0x10000 ? Tables().upper[cp] : Lookup(kToUpper, cp); }
char16_t ToLowerUnit(char16_t c) { return Tables().lower[c]; }
char16_t ToUpperUnit(char16_t c) { return Tables().upper[c]; }

std::u16string ToLower(std::u16string_view text) { return MapString(text, ToLowerUnit, ToLowerCp); }
std::u16string ToUpper(std::u16string_view text) { return MapString(text, ToUpperUnit, ToUpperCp); }

int CompareNoCase(std::u16string_view a, std::u16string_view b) {
  const auto& lower = Tables().lower;
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    char16_t x = lower[a[i]], y = lower[b[i]];
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace nusk
