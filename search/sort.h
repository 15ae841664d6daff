// The sort clause ("/sort:size-name+") and sorting a result array by its keys.
//
// Sorting never compares name strings: the name table is in name order, so an item's
// name index stands for its name, and paths compare as chains of name indexes.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "search/search_view.h"

namespace nusk {

// Four ASCII characters in little-endian order, as the key ids are stored.
constexpr uint32_t SortKeyId(const char (&s)[5]) {
  return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
         uint32_t(uint8_t(s[3])) << 24;
}
inline constexpr uint32_t kSortName = SortKeyId("NAME");
inline constexpr uint32_t kSortPath = SortKeyId("PATH");
inline constexpr uint32_t kSortSize = SortKeyId("SIZE");
inline constexpr uint32_t kSortDate = SortKeyId("DATE");
inline constexpr uint32_t kSortExt = SortKeyId("EXT\0");
inline constexpr uint32_t kSortHash = SortKeyId("HASH");
inline constexpr uint32_t kSortDupCount = SortKeyId("DCNT");
inline constexpr uint32_t kSortFileCount = SortKeyId("FCNT");

struct SortKey {
  uint32_t reserved = 0xFFFFFFFF;
  uint32_t ascending = 1;  // 1 ascending, 0 descending
  uint32_t id = 0;
  bool operator==(const SortKey&) const = default;
};
using SortKeys = std::vector<SortKey>;

// Keys of a clause; case is ignored. A clause not beginning with "/sort:" and unknown
// words give no keys. '/sort:size-name+' is size descending, then name ascending.
SortKeys ParseSortClause(std::u16string_view clause);

// The clause text for keys ("/sort:size-name+"); EXT is never written.
std::u16string SortClauseText(const SortKeys& keys);

// Sorts items in place (unstable). One key: the key's order with the name index as
// tie-break, in the key's direction (NAME has none; DCNT breaks ties by hash value first;
// EXT puts folders first); several keys: in order, no further tie-break.
// folder_sizes_shown: folders weigh their folder size (computed here when needed);
// otherwise they weigh 0 unless the sizes were computed already. A file-count key
// computes the folder file counts first (files count as -1).
void SortItems(std::vector<uint32_t>* items, const SortKeys& keys, const SearchView& view, bool folder_sizes_shown);

}  // namespace nusk
