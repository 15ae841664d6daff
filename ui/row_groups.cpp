#include "ui/row_groups.h"

namespace nusk {

void RowGroups::Reset(uint32_t row_count) {
  bits_.clear();
  count_ = row_count;
  lo_ = hi_ = 0;
}

void RowGroups::Set(uint32_t row, bool odd) {
  const uint64_t bit = uint64_t{1} << (row & 63);
  if (odd) {
    bits_[row >> 6] |= bit;
  } else {
    bits_[row >> 6] &= ~bit;
  }
}

bool RowGroups::Odd(uint32_t row, const KeyOfRow& key) {
  if (row >= count_) return false;
  if (bits_.empty()) bits_.assign((static_cast<size_t>(count_) + 63) / 64, 0);
  if (row >= lo_ && row < hi_) return Get(row);
  const bool near_end = lo_ < hi_ && row >= hi_ && row - hi_ < kReach;
  const bool near_start = lo_ < hi_ && row < lo_ && lo_ - row <= kReach;
  if (near_end) {
    bool odd = Get(hi_ - 1);
    for (uint32_t r = hi_; r <= row; ++r) {
      const uint32_t k = key(r);
      if (k != hi_key_) odd = !odd;
      hi_key_ = k;
      Set(r, odd);
    }
    hi_ = row + 1;
  } else if (near_start) {
    bool odd = Get(lo_);
    for (uint32_t r = lo_; r-- > row;) {
      const uint32_t k = key(r);
      if (k != lo_key_) odd = !odd;
      lo_key_ = k;
      Set(r, odd);
    }
    lo_ = row;
  } else {
    // A new stretch: the row's group is untinted.
    lo_ = row;
    hi_ = row + 1;
    lo_key_ = hi_key_ = key(row);
    Set(row, false);
  }
  return Get(row);
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
