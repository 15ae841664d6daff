// Alternate row-group colours of the result list.
//
// A row group is a run of consecutive rows whose items share one parent folder; the groups
// alternate between the list's background and a tint of it. Sorted by path, each folder's
// files form one band; sorted by name, where neighbours rarely share a folder, the list
// reads as plain alternating rows.
//
// The list is virtual (millions of rows), so a row's group parity is found lazily: the
// parities are worked out from the first row up to the highest row asked for so far and
// kept as one bit per row.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

namespace nusk {

class RowGroups {
 public:
  // The key that decides the groups: rows with equal keys next to each other form one group.
  using KeyOfRow = std::function<uint32_t(uint32_t row)>;

  // Forgets every parity: the rows changed (a new result, a new order, hidden rows).
  void Reset(uint32_t row_count);
  // Whether the row lies in an odd-numbered group (the tinted ones); false past the end.
  bool Odd(uint32_t row, const KeyOfRow& key);
  // Rows whose parity is known (tests and memory accounting).
  uint32_t known() const { return known_; }

 private:
  std::vector<uint64_t> bits_;  // bit r: row r is in an odd group
  uint32_t count_ = 0;
  uint32_t known_ = 0;
  uint32_t last_key_ = 0;  // key of row known_ - 1
};

// The tint of the odd groups, as 0x00BBGGRR: the window colour moved 1/10 of the way towards
// the selection colour, so it reads as a band on light and dark themes alike and stays
// apart from a selected row.
uint32_t AltRowColor(uint32_t window_bgr, uint32_t highlight_bgr);

}  // namespace nusk
