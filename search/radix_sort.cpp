#include "search/radix_sort.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>

namespace nusk {
namespace {

// Digits of at most 11 bits: 2048 counters stay in the first-level cache, and a 43-bit
// path key (folder rank and name index) takes four passes instead of six bytes.
constexpr int kMaxDigitBits = 11;

// The scratch array is kept for the next sort on this thread: a fresh one of a few
// million entries costs more in page faults than the passes themselves.
KeyedItems& Scratch(size_t n) {
  thread_local KeyedItems scratch;
  if (scratch.size() < n) scratch = KeyedItems(n);
  return scratch;
}

// LSD passes, one per digit that differs somewhere; digit(e, d) < 1 << bits.
template <class Digit>
void Passes(KeyedItems* v, int digits, int bits, Digit digit) {
  const size_t n = v->size();
  const size_t buckets = size_t{1} << bits;
  // A pass only permutes entries, so every histogram can be counted in one read up front.
  std::vector<uint32_t> count(size_t(digits) * buckets, 0);
  for (const KeyedItem& e : *v)
    for (int d = 0; d < digits; ++d) ++count[d * buckets + digit(e, d)];
  KeyedItems& scratch = Scratch(n);
  KeyedItems* from = v;
  KeyedItems* to = &scratch;
  for (int d = 0; d < digits; ++d) {
    uint32_t* c = &count[d * buckets];
    if (c[digit((*from)[0], d)] == n) continue;  // one value everywhere: already in order
    uint32_t sum = 0;
    for (size_t b = 0; b < buckets; ++b) {
      const uint32_t k = c[b];
      c[b] = sum;
      sum += k;
    }
    const KeyedItem* src = from->data();  // the first n entries: the kept scratch may be longer
    KeyedItem* dst = to->data();
    for (size_t j = 0; j < n; ++j) dst[c[digit(src[j], d)]++] = src[j];
    std::swap(from, to);
  }
  if (from != v) {
    v->swap(scratch);
    v->resize(n);  // the kept scratch may have been longer
  }
}

uint64_t LowMask(int bits) { return bits >= 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1; }

}  // namespace

void RadixSort(KeyedItems* v, bool descending) {
  const size_t n = v->size();
  if (n < 2) return;
  uint64_t key_bits_set = 0;
  uint32_t tie_bits_set = 0;
  for (const KeyedItem& e : *v) key_bits_set |= e.key, tie_bits_set |= e.tie;
  const int key_bits = std::bit_width(key_bits_set), tie_bits = std::bit_width(tie_bits_set);
  // Descending: every value x becomes mask - x within its significant bits, which
  // reverses the order and keeps the widths.
  const uint64_t key_flip = descending ? LowMask(key_bits) : 0;
  const uint32_t tie_flip = descending ? static_cast<uint32_t>(LowMask(tie_bits)) : 0;
  const int bits = key_bits + tie_bits;
  if (bits == 0) return;
  if (bits <= 64) {
    for (KeyedItem& e : *v) e.key = (e.key ^ key_flip) << tie_bits | (e.tie ^ tie_flip);
    const int passes = (bits + kMaxDigitBits - 1) / kMaxDigitBits;
    const int width = (bits + passes - 1) / passes;
    const uint64_t mask = LowMask(width);
    Passes(v, passes, width,
           [&](const KeyedItem& e, int d) { return static_cast<uint32_t>(e.key >> (width * d) & mask); });
    return;
  }
  // Wider than one word: bytes of the tie, then bytes of the key.
  for (KeyedItem& e : *v) e.key ^= key_flip, e.tie ^= tie_flip;
  Passes(v, 12, 8, [](const KeyedItem& e, int d) {
    return d < 4 ? (e.tie >> (8 * d)) & 0xFF : static_cast<uint32_t>(e.key >> (8 * (d - 4))) & 0xFF;
  });
}

}  // namespace nusk
