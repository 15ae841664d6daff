#include "search/sort.h"

#include <algorithm>

#include "search/radix_sort.h"
#include "util/casemap.h"

namespace nusk {
namespace {

struct ClauseWord {
  const char16_t* word;
  uint32_t id;
  bool ascending;  // direction without a sign
};

constexpr ClauseWord kWords[] = {
    {u"name", kSortName, true},
    {u"path", kSortPath, true},
    {u"size", kSortSize, false},
    {u"date", kSortDate, false},
    {u"ext", kSortExt, true},
    {u"hash", kSortHash, true},
    {u"dupcount", kSortDupCount, false},
    {u"filecount", kSortFileCount, false},
};

// Clause words as the result list writes them (EXT is never written).
const char16_t* WrittenWord(uint32_t id) {
  switch (id) {
    case kSortName: return u"name";
    case kSortPath: return u"path";
    case kSortDate: return u"date";
    case kSortSize: return u"size";
    case kSortHash: return u"hash";
    case kSortDupCount: return u"dupCount";
    case kSortFileCount: return u"fileCount";
    default: return nullptr;
  }
}

template <typename T>
int Cmp(T a, T b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

class Comparer {
 public:
  explicit Comparer(const SearchView& v) : v_(v), db_(v.db()) {}
  const SearchView& view() const { return v_; }

  // Ascending order of one key; 0 when equal under it.
  int Key(uint32_t id, uint32_t a, uint32_t b) const {
    switch (id) {
      case kSortName: return Cmp(NameIndex(a), NameIndex(b));
      case kSortPath: return Cmp(v_.ParentPathRank(a), v_.ParentPathRank(b));
      // Bytes order equals the documented order of the stored forms (KiB forms above
      // byte forms, by magnitude); folders weigh their folder size once computed, else 0.
      case kSortSize: return Cmp(db_.ItemSizeBytes(a), db_.ItemSizeBytes(b));
      case kSortDate: return Cmp(int32_t(v_.time(a)), int32_t(v_.time(b)));
      case kSortExt: return Ext(a, b);
      case kSortHash: return Cmp(Hash(a), Hash(b));
      case kSortDupCount: return Cmp(Dup(a), Dup(b));
      case kSortFileCount: return Cmp(FileCount(a), FileCount(b));
      default: return 0;
    }
  }

  // Ascending order of one key with its tie-breaks as (key, tie) integers; false for EXT,
  // whose order is text. Signed values are shifted into unsigned order.
  bool RadixKey(uint32_t id, uint32_t i, KeyedItem* e) const {
    e->item = i;
    e->tie = NameIndex(i);
    switch (id) {
      case kSortName:  // no tie-break
        e->key = NameIndex(i);
        e->tie = 0;
        return true;
      case kSortPath: e->key = v_.ParentPathRank(i); return true;
      case kSortSize: e->key = db_.ItemSizeBytes(i); return true;
      case kSortDate: e->key = v_.time(i) ^ 0x80000000u; return true;
      case kSortHash: e->key = Hash(i); return true;
      case kSortDupCount: e->key = uint64_t(uint32_t(Dup(i))) << 32 | Hash(i); return true;
      case kSortFileCount: e->key = uint32_t(FileCount(i)) ^ 0x80000000u; return true;
      default: return false;
    }
  }

  // One key with its tie-breaks, before the direction is applied.
  int Single(uint32_t id, uint32_t a, uint32_t b) const {
    int c = Key(id, a, b);
    if (c != 0 || id == kSortName) return c;
    if (id == kSortDupCount && (c = Cmp(Hash(a), Hash(b))) != 0) return c;
    return Cmp(NameIndex(a), NameIndex(b));
  }

 private:
  static int Sign(int x) { return (x > 0) - (x < 0); }
  uint32_t NameIndex(uint32_t i) const { return v_.name_of_item()[i]; }
  uint32_t Hash(uint32_t i) const { return v_.hash_values ? v_.hash_values[i] : 0; }
  int32_t Dup(uint32_t i) const { return v_.dup_counts ? v_.dup_counts[i] : 0; }
  int32_t FileCount(uint32_t i) const { return v_.is_folder(i) ? db_.FolderFileCount(i) : -1; }
  int Ext(uint32_t a, uint32_t b) const {
    const bool fa = v_.is_folder(a), fb = v_.is_folder(b);
    if (fa || fb) return fa == fb ? 0 : (fa ? -1 : 1);
    return Sign(db_.Extension(a).compare(db_.Extension(b)));
  }

  const SearchView& v_;
  NuskDb& db_;
};

// Reverses the order of the runs of equal tie, keeping the order within each run.
void ReverseTieGroups(KeyedItems* v) {
  std::reverse(v->begin(), v->end());
  for (auto run = v->begin(); run != v->end();) {
    auto next = run + 1;
    while (next != v->end() && next->tie == run->tie) ++next;
    std::reverse(run, next);
    run = next;
  }
}

// One key: each item's (key, tie) read once, then a radix sort. A descending sort
// reverses the whole order, tie-break included.
bool SortByRadix(std::vector<uint32_t>* items, const SortKey& k, const Comparer& cmp) {
  // Kept for the next sort on this thread, like the radix sort's scratch array.
  thread_local KeyedItems keyed;
  const size_t n = items->size();
  if (n == 0) return true;
  keyed.resize(n);
  const uint32_t* in = items->data();
  if (k.id == kSortPath) {  // the commonest whole-list sort: one pass per table
    cmp.view().ParentPathRanks(in, n, &keyed[0].key, sizeof(KeyedItem) / sizeof(uint64_t));
    const uint32_t* name_of = cmp.view().name_of_item();
    for (size_t j = 0; j < n; ++j) keyed[j].item = in[j], keyed[j].tie = name_of[in[j]];
  } else if (k.id == kSortSize) {  // as ItemSizeBytes, without a call per item
    const NuskDb& db = cmp.view().db();
    const uint32_t* name_of = cmp.view().name_of_item();
    const uint32_t folders = cmp.view().folder_count;
    for (size_t j = 0; j < n; ++j) {
      const uint32_t i = in[j];
      uint64_t bytes = BytesFromSizeForm(db.SizeForm(i));
      if (bytes == 0 && i < folders) bytes = db.FolderSize(i);
      keyed[j] = KeyedItem{bytes, name_of[i], i};
    }
  } else {
    for (size_t j = 0; j < n; ++j)
      if (!cmp.RadixKey(k.id, in[j], &keyed[j])) return false;
  }
  // Items in index order (as every cursor yields them) have their name tie-breaks in
  // order already, and items of one name are adjacent: a stable sort on the key alone
  // then gives the same order with far fewer bits to sort. Descending, the groups of
  // one name are put last first beforehand (each keeping its own order).
  if (std::is_sorted(in, in + n)) {
    if (!k.ascending) ReverseTieGroups(&keyed);
    for (KeyedItem& e : keyed) e.tie = 0;
  }
  RadixSort(&keyed, !k.ascending);
  for (size_t j = 0; j < keyed.size(); ++j) (*items)[j] = keyed[j].item;
  return true;
}

}  // namespace

SortKeys ParseSortClause(std::u16string_view clause) {
  SortKeys keys;
  const std::u16string lower = ToLower(clause);
  constexpr std::u16string_view kPrefix = u"/sort:";
  if (!std::u16string_view(lower).starts_with(kPrefix)) return keys;
  std::u16string word;
  const auto end_word = [&](char16_t sign) {
    for (const ClauseWord& w : kWords) {
      if (word == w.word) {
        SortKey k;
        k.id = w.id;
        k.ascending = sign == u'+' ? 1 : sign == u'-' ? 0 : w.ascending;
        keys.push_back(k);
        break;
      }
    }
    word.clear();
  };
  const std::u16string_view rest = std::u16string_view(lower).substr(kPrefix.size());
  for (char16_t c : rest) {
    if (c == u'+' || c == u'-' || c == u',') end_word(c);
    else word += c;
  }
  if (!word.empty()) end_word(0);
  return keys;
}

std::u16string SortClauseText(const SortKeys& keys) {
  std::u16string text = u"/sort:";
  for (const SortKey& k : keys) {
    const char16_t* w = WrittenWord(k.id);
    if (!w) continue;
    text += w;
    text += k.ascending ? u'+' : u'-';
  }
  return text;
}

void SortItems(std::vector<uint32_t>* items, const SortKeys& keys, const SearchView& view, bool folder_sizes_shown) {
  if (keys.empty()) return;
  for (const SortKey& k : keys) {
    if (k.id == kSortFileCount) view.db().ComputeFolderFileCounts();
    if (k.id == kSortSize && folder_sizes_shown) view.db().ComputeFolderSizes();
  }
  const Comparer cmp(view);
  if (keys.size() == 1 && SortByRadix(items, keys[0], cmp)) return;
  if (keys.size() == 1) {
    const uint32_t id = keys[0].id;
    const bool up = keys[0].ascending;
    std::sort(items->begin(), items->end(), [&](uint32_t a, uint32_t b) {
      const int c = cmp.Single(id, a, b);
      return up ? c < 0 : c > 0;
    });
    return;
  }
  std::sort(items->begin(), items->end(), [&](uint32_t a, uint32_t b) {
    for (const SortKey& k : keys) {
      const int c = cmp.Key(k.id, a, b);
      if (c != 0) return k.ascending ? c < 0 : c > 0;
    }
    return false;
  });
}

}  // namespace nusk
