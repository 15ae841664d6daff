#include "search/item_conditions.h"

#include <algorithm>
#include <typeinfo>

namespace nusk {
namespace {

// One child of the AND (or the whole tree); false when it is not an item-table condition.
bool Take(const CMatcher& m, ItemConditions* out) {
  // Exact classes only: a subclass could answer differently.
  if (typeid(m) == typeid(CKeywordMatcher)) {
    out->keywords.push_back(static_cast<const CKeywordMatcher&>(m).text());
  } else if (typeid(m) == typeid(CFileMatcher)) {
    out->files = true;
  } else if (typeid(m) == typeid(CFolderMatcher)) {
    out->folders = true;
  } else if (typeid(m) == typeid(FileSizeMatcher)) {
    const SizeRange& r = static_cast<const FileSizeMatcher&>(m).range();
    out->size.lower = out->sized ? std::max(out->size.lower, r.lower) : r.lower;
    out->size.upper = out->sized ? std::min(out->size.upper, r.upper) : r.upper;
    out->sized = true;
  } else if (typeid(m) == typeid(DateMatcher)) {
    const DateRange& r = static_cast<const DateMatcher&>(m).range();
    out->date.lower = out->dated ? std::max(out->date.lower, r.lower) : r.lower;
    out->date.end = out->dated ? std::min(out->date.end, r.end) : r.end;
    out->dated = true;
  } else {
    return false;
  }
  return true;
}

}  // namespace

bool ReduceToItemConditions(const CMatcher& tree, ItemConditions* out) {
  *out = ItemConditions();
  if (typeid(tree) != typeid(CAndMatcher)) return Take(tree, out);
  const auto& children = static_cast<const CAndMatcher&>(tree).children();
  // An AND without children takes every item, as no conditions do here.
  for (const MatcherPtr& c : children)
    if (!Take(*c, out)) return false;
  return true;
}

ItemTableTest::ItemTableTest(const ItemConditions& c, const SearchView& view)
    : db_(&view.db()), folder_count_(view.folder_count), sized_(c.sized), dated_(c.dated) {
  begin_ = c.files ? view.folder_count : 0;
  end_ = c.folders ? view.folder_count : view.item_count;
  // An empty range, or both /f and /d: no item passes.
  if ((sized_ && c.size.lower > c.size.upper) || (dated_ && c.date.lower >= c.date.end)) end_ = begin_;
  if (begin_ > end_) begin_ = end_;
  if (sized_) {
    size_forms_ = view.db().size_forms();
    size_lower_ = c.size.lower;
    size_span_ = c.size.upper - c.size.lower;
  }
  if (dated_) {
    times_ = view.db().times();
    date_lower_ = c.date.lower;
    date_span_ = c.date.end - c.date.lower;
  }
}

}  // namespace nusk
