#include "ui/column_sort.h"

#include <algorithm>

#include "ui/columns.h"
#include "util/casemap.h"

namespace nusk {

uint32_t SortKeyOfColumn(int column) {
  switch (column) {
    case kColName: return kSortName;
    case kColPath: return kSortPath;
    case kColDate: return kSortDate;
    case kColSize: return kSortSize;
    case kColExtension: return kSortExt;
    case kColFileCount: return kSortFileCount;
    case kColHash: return kSortHash;
    case kColDupCount: return kSortDupCount;
    default: return 0;
  }
}

int ColumnOfSortKey(uint32_t key_id) {
  for (int c = 0; c < kColumnCount; ++c) {
    if (SortKeyOfColumn(c) == key_id && key_id != 0) return c;
  }
  return -1;
}

std::optional<SortKeys> SortByColumn(const SortKeys& keys, int column, bool add) {
  if (!IsColumnId(column) || Column(column).initial_direction == 0) return std::nullopt;
  const uint32_t id = SortKeyOfColumn(column);
  const uint32_t initial = Column(column).initial_direction == 1 ? 1 : 0;
  auto it = std::find_if(keys.begin(), keys.end(), [&](const SortKey& k) { return k.id == id; });
  SortKeys out;
  if (!add) {
    if (keys.size() == 1 && it != keys.end()) {
      out = keys;
      out[0].ascending = out[0].ascending ? 0 : 1;
    } else {
      out.push_back(SortKey{0xFFFFFFFF, initial, id});
    }
    return out;
  }
  out = keys;
  if (it != keys.end()) {
    SortKey moved = *it;
    moved.ascending = moved.ascending ? 0 : 1;
    out.erase(out.begin() + (it - keys.begin()));
    out.push_back(moved);
  } else {
    out.push_back(SortKey{0xFFFFFFFF, initial, id});
  }
  return out;
}

int SortArrow(const SortKeys& keys, int column) {
  const uint32_t id = SortKeyOfColumn(column);
  if (id == 0) return 0;
  for (const SortKey& k : keys) {
    if (k.id == id) return k.ascending ? 1 : -1;
  }
  return 0;
}

bool OffersSortInQuery(const SortKeys& keys) {
  if (keys.empty()) return false;
  return !(keys.size() == 1 && keys[0].id == kSortName && keys[0].ascending);
}

std::u16string SortClauseForQuery(std::u16string_view search_text, const SortKeys& keys) {
  const std::u16string clause = SortClauseText(keys);
  std::u16string text(search_text);
  std::u16string lower(text);
  for (char16_t& c : lower) c = ToLowerUnit(c);
  // An existing "/sort" term, in any case: at the start of the text or after a space.
  for (size_t pos = 0; (pos = lower.find(u"/sort", pos)) != std::u16string::npos; ++pos) {
    if (pos != 0 && text[pos - 1] != u' ') continue;
    size_t end = text.find(u' ', pos);
    if (end == std::u16string::npos) end = text.size();
    text.replace(pos, end - pos, clause);
    return text;
  }
  if (!text.empty() && text.back() != u' ') text += u' ';
  return text + clause;
}

}  // namespace nusk
