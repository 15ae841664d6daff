#include "search/radix_sort.h"

#include <array>
#include <cstddef>

namespace nusk {
namespace {

// Digits from least to most significant: the four tie bytes, then the eight key bytes.
constexpr int kDigits = 12;

inline uint32_t Digit(const KeyedItem& e, int d) {
  return d < 4 ? (e.tie >> (8 * d)) & 0xFF : static_cast<uint32_t>(e.key >> (8 * (d - 4))) & 0xFF;
}

}  // namespace

void RadixSort(std::vector<KeyedItem>* v) {
  const size_t n = v->size();
  if (n < 2) return;
  // A pass only permutes entries, so every histogram can be counted in one read up front.
  std::vector<std::array<uint32_t, 256>> count(kDigits);
  for (auto& c : count) c.fill(0);
  for (const KeyedItem& e : *v)
    for (int d = 0; d < kDigits; ++d) ++count[d][Digit(e, d)];

  std::vector<KeyedItem> scratch(n);
  std::vector<KeyedItem>* from = v;
  std::vector<KeyedItem>* to = &scratch;
  for (int d = 0; d < kDigits; ++d) {
    std::array<uint32_t, 256>& c = count[d];
    if (c[Digit((*from)[0], d)] == n) continue;  // one value everywhere: already in order
    uint32_t sum = 0;
    for (uint32_t& x : c) {
      const uint32_t k = x;
      x = sum;
      sum += k;
    }
    for (const KeyedItem& e : *from) (*to)[c[Digit(e, d)]++] = e;
    std::swap(from, to);
  }
  if (from != v) v->swap(scratch);
}

}  // namespace nusk
