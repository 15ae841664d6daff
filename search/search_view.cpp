#include "search/search_view.h"

#include "search/hash_info.h"
#include "search/path_rank.h"

namespace nusk {

uint32_t SearchTextBits(std::u16string_view text) {
  uint32_t bits = 0;
  for (char16_t c : text) {
    if (c >= u'a' && c <= u'z') bits |= 1u << (c - u'a');
    else if (c == u'.') bits |= 1u << 26;
    else if (c == u'_') bits |= 1u << 27;
    else if (c >= u'0' && c <= u'3') bits |= 1u << (28 + (c - u'0'));
  }
  return bits;
}

SearchView::SearchView(NuskDb* db, const HashInfo* hashes) : db_(db) {
  item_count = db->item_count();
  folder_count = db->folder_count();
  name_count = db->name_count();
  folder_name_count = db->folder_name_count();
  if (hashes && hashes->size() == item_count) {
    hash_values = hashes->values();
    dup_counts = hashes->counts();
  }
}

bool SearchView::IsBelow(uint32_t item, uint32_t folder) const {
  const uint32_t* parents = this->parents();
  uint32_t p = parents[item];
  // Any depth: the loader refused looping chains, so a chain has at most F folders.
  for (uint32_t depth = 0; p != kNoItem && depth <= folder_count; ++depth) {
    if (p == folder) return true;
    p = parents[p];
  }
  return false;
}

uint32_t SearchView::ParentPathRank(uint32_t item) const {
  std::call_once(ranks_once_,
                 [this] { folder_ranks_ = ComputeFolderPathRanks(parents(), name_of_item(), folder_count); });
  const uint32_t p = parents()[item];
  if (p == kNoItem) return kNoParentRank;
  return p < folder_count ? folder_ranks_[p] : folder_count + 1;  // a file as parent: damaged data
}

void SearchView::ParentPathRanks(const uint32_t* items, size_t count, uint64_t* keys, size_t key_stride) const {
  std::call_once(ranks_once_,
                 [this] { folder_ranks_ = ComputeFolderPathRanks(parents(), name_of_item(), folder_count); });
  const uint32_t* parents = this->parents();
  const uint32_t* ranks = folder_ranks_.data();
  const uint32_t folders = folder_count;
  for (size_t j = 0; j < count; ++j, keys += key_stride) {
    const uint32_t p = parents[items[j]];
    *keys = p == kNoItem ? kNoParentRank : p < folders ? ranks[p] : folders + 1;
  }
}

}  // namespace nusk
