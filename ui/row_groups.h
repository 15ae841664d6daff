// Alternate row-group colours of the result list.
//
// A row group is a run of consecutive rows whose items share one parent folder; the groups
// alternate between the list's background and a tint of it. Sorted by path, each folder's
// files form one band; sorted by name, where neighbours rarely share a folder, the list
// reads as plain alternating rows.
//
// The list is virtual (millions of rows), so parities are worked out only around the rows
// asked for: a known stretch of rows grows up or down as the list scrolls, each group
// taking the other parity than its neighbour. A row far outside the stretch (a jump to the
// end of the list) starts a new stretch there instead of walking every row in between, so
// the colour of one group may differ before and after such a jump; neighbouring groups on
// screen always differ.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

namespace nusk {

class RowGroups {
 public:
  // The key that decides the groups: rows with equal keys next to each other form one group.
  using KeyOfRow = std::function<uint32_t(uint32_t row)>;

  // How far beyond the known stretch a row may lie and still extend it.
  static constexpr uint32_t kReach = 8192;

  // Forgets every parity: the rows changed (a new result, a new order, hidden rows).
  void Reset(uint32_t row_count);
  // Whether the row lies in a tinted group; false past the end.
  bool Odd(uint32_t row, const KeyOfRow& key);
  // The stretch of rows whose parity is known: [first, end).
  uint32_t known_first() const { return lo_; }
  uint32_t known_end() const { return hi_; }

 private:
  void Set(uint32_t row, bool odd);
  bool Get(uint32_t row) const { return bits_[row >> 6] >> (row & 63) & 1; }

  std::vector<uint64_t> bits_;  // bit r: row r is in a tinted group (valid inside the stretch)
  uint32_t count_ = 0;
  uint32_t lo_ = 0, hi_ = 0;          // the known stretch; empty when equal
  uint32_t lo_key_ = 0, hi_key_ = 0;  // keys of rows lo_ and hi_ - 1
};

// The tint of the odd groups, as 0x00BBGGRR: the window colour moved 1/10 of the way towards
// the selection colour, so it reads as a band on light and dark themes alike and stays
// apart from a selected row.
uint32_t AltRowColor(uint32_t window_bgr, uint32_t highlight_bgr);

}  // namespace nusk
