// Queries that are an AND of plain keywords and conditions read from the item tables
// ("/size:", "/date:", "/f", "/d"), reduced to a few numbers that a cursor tests inline.
//
// The general cursor asks such a tree the name question per row and then, per item,
// walks the tree through virtual calls. Reduced, the keywords become the one name test
// of the plain cursors and the item conditions one comparison per table, so
// '/size:1m-2m' is a loop over the size table and 'cor /date:2020' a keyword scan whose
// items are checked against the time table. The answers are the tree's: an AND of
// ranges is their intersection, and /f and /d select the file or folder items (all
// folders come before all files).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "search/matcher.h"
#include "search/query_ranges.h"
#include "search/search_view.h"

namespace nusk {

struct ItemConditions {
  std::vector<std::u16string> keywords;  // as typed; the name must contain each
  bool files = false, folders = false;   // /f, /d
  bool sized = false, dated = false;     // a size or date range applies
  SizeRange size;
  DateRange date;
};

// Fills `out` when the tree (not yet prepared) is one of those conditions or an AND of
// them; false for every other tree.
bool ReduceToItemConditions(const CMatcher& tree, ItemConditions* out);

// The item conditions of an ItemConditions as one test over the raw tables: items from
// begin() to end() pass the /f and /d selection, and the test checks the ranges.
class ItemTableTest {
 public:
  ItemTableTest(const ItemConditions& c, const SearchView& view);
  uint32_t begin() const { return begin_; }
  uint32_t end() const { return end_; }
  bool sized() const { return sized_; }
  bool dated() const { return dated_; }

  // Whether an item in [begin, end) meets the ranges; the template arguments say which
  // ranges apply (sized(), dated()), so a loop over many items has no test it skips.
  template <bool kSized, bool kDated>
  bool Passes(uint32_t item) const {
    bool ok = true;
    if constexpr (kSized) {
      uint64_t bytes = BytesFromSizeForm(size_forms_[item]);
      if (item < folder_count_) [[unlikely]]
        bytes = bytes ? bytes : db_->FolderSize(item);
      ok = bytes - size_lower_ <= size_span_;
    }
    if constexpr (kDated) ok = ok && times_[item] - date_lower_ < date_span_;
    return ok;
  }
  bool operator()(uint32_t item) const {
    if (sized_) return dated_ ? Passes<true, true>(item) : Passes<true, false>(item);
    return dated_ ? Passes<false, true>(item) : Passes<false, false>(item);
  }

 private:
  const NuskDb* db_;
  const uint32_t* size_forms_ = nullptr;
  const uint32_t* times_ = nullptr;
  uint32_t folder_count_ = 0;
  uint32_t begin_ = 0, end_ = 0;
  bool sized_ = false, dated_ = false;
  // The ranges as lower bound and span: one unsigned comparison each.
  uint64_t size_lower_ = 0, size_span_ = 0;
  uint32_t date_lower_ = 0, date_span_ = 0;
};

}  // namespace nusk
