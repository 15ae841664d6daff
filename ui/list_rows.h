// Row operations of the result list that need no window: hiding rows from the view and
// the "go to row" number.
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace nusk {

// Items the user hid from the view (the database is not touched). The window keeps the
// set across re-sorts and clears it when a new search runs or on Unhide.
class HiddenRows {
 public:
  // Hides the items shown at the given rows of `shown` (rows out of range are ignored).
  void Hide(std::span<const uint32_t> shown, std::span<const uint32_t> rows);
  void Clear() { hidden_.clear(); }
  size_t count() const { return hidden_.size(); }
  // The items of a result without the hidden ones, in their order.
  std::vector<uint32_t> Filter(std::span<const uint32_t> items) const;

 private:
  std::unordered_set<uint32_t> hidden_;
};

// The row index for a typed row number (1 is the first row, as the # column counts):
// blanks around it allowed; a number past the end gives the last row; nullopt for text
// that is not a positive number or for an empty list.
std::optional<uint32_t> GotoRowIndex(std::u16string_view typed, uint32_t row_count);

}  // namespace nusk
