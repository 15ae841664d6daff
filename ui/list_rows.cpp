#include "ui/list_rows.h"

namespace nusk {

void HiddenRows::Hide(std::span<const uint32_t> shown, std::span<const uint32_t> rows) {
  for (uint32_t r : rows) {
    if (r < shown.size()) hidden_.insert(shown[r]);
  }
}

std::vector<uint32_t> HiddenRows::Filter(std::span<const uint32_t> items) const {
  std::vector<uint32_t> out;
  out.reserve(items.size());
  for (uint32_t item : items) {
    if (!hidden_.count(item)) out.push_back(item);
  }
  return out;
}

std::optional<uint32_t> GotoRowIndex(std::u16string_view typed, uint32_t row_count) {
  while (!typed.empty() && typed.front() == u' ') typed.remove_prefix(1);
  while (!typed.empty() && typed.back() == u' ') typed.remove_suffix(1);
  if (typed.empty() || row_count == 0) return std::nullopt;
  uint64_t n = 0;
  for (char16_t c : typed) {
    if (c < u'0' || c > u'9') return std::nullopt;
    n = n * 10 + (c - u'0');
    if (n > row_count) n = row_count;  // stays small however long the text
  }
  if (n == 0) return std::nullopt;
  return uint32_t(n - 1);
}

}  // namespace nusk
