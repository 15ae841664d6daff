#include "ui/row_groups.h"

namespace nusk {

void RowGroups::Reset(uint32_t row_count) {
  bits_.clear();
  count_ = row_count;
  known_ = 0;
  last_key_ = 0;
}

bool RowGroups::Odd(uint32_t row, const KeyOfRow& key) {
  if (row >= count_) return false;
  if (row >= known_) {
    bits_.resize((static_cast<size_t>(row) >> 6) + 1, 0);
    bool odd = known_ > 0 && (bits_[(known_ - 1) >> 6] >> ((known_ - 1) & 63) & 1);
    for (uint32_t r = known_; r <= row; ++r) {
      const uint32_t k = key(r);
      if (r > 0 && k != last_key_) odd = !odd;
      last_key_ = k;
      if (odd) bits_[r >> 6] |= uint64_t{1} << (r & 63);
    }
    known_ = row + 1;
  }
  return bits_[row >> 6] >> (row & 63) & 1;
}

uint32_t AltRowColor(uint32_t window_bgr, uint32_t highlight_bgr) {
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const int w = static_cast<int>(window_bgr >> shift & 0xFF);
    const int h = static_cast<int>(highlight_bgr >> shift & 0xFF);
    const int mixed = w + (h - w) / 10;
    out |= static_cast<uint32_t>(mixed) << shift;
  }
  return out;
}

}  // namespace nusk
