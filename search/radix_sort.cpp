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

  // The scratch array is kept for the next sort on this thread: a fresh one of a few
  // million entries costs more in page faults than the passes themselves.
  thread_local std::vector<KeyedItem> scratch;
  if (scratch.size() < n) scratch = std::vector<KeyedItem>(n);
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
    const KeyedItem* src = from->data();  // the first n entries: the kept scratch may be longer
    KeyedItem* dst = to->data();
    for (size_t j = 0; j < n; ++j) dst[c[Digit(src[j], d)]++] = src[j];
    std::swap(from, to);
  }
  if (from != v) {
    v->swap(scratch);
    v->resize(n);  // the kept scratch may have been longer
  }
}

}  // namespace nusk
