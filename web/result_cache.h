// Result arrays of recent searches, so that the page's "Show more" requests and repeated
// queries do not search the whole index again.
//
// The index does not change while the service answers from it, so an entry stays right
// for as long as everything else its results depend on is unchanged: the query text, the
// date that dates without a year are read against, the drives present, and the text of
// every named search the query expanded. Entries are checked against those on every hit
// (no time limit, hence no periodic re-search that stalls the single polling thread) and
// dropped least recently used first, bounded by count and by total result items.
//
// Threads: one at a time (the service lock).
#pragma once
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nusk {

class ResultCache {
 public:
  using Results = std::shared_ptr<const std::vector<uint32_t>>;
  using NamedLookup = std::function<std::u16string(std::u16string_view name)>;
  // Named searches a query expanded: name and the text it gave at the time.
  using NamedTexts = std::vector<std::pair<std::u16string, std::u16string>>;

  struct Key {
    std::u16string query;
    int64_t day = 0;      // year * 10000 + month * 100 + day of the search's "today"
    uint32_t drives = 0;  // drives present (bit i = drive i)
    bool operator==(const Key&) const = default;
  };

  // max_items bounds the sum of the kept result counts; the newest entry is kept even
  // when it alone exceeds it.
  ResultCache(size_t max_entries, size_t max_items) : max_entries_(max_entries), max_items_(max_items) {}

  // The results stored for key whose named searches still give the texts they gave then
  // (asked through lookup); null when there is none. A hit becomes the most recent entry.
  Results Find(const Key& key, const NamedLookup& lookup);
  // Stores results for key (replacing an older entry of the same key).
  void Add(Key key, NamedTexts named, Results results);

  size_t size() const { return entries_.size(); }

 private:
  struct Entry {
    Key key;
    NamedTexts named;
    Results results;
  };
  void Drop(std::list<Entry>::iterator it);

  size_t max_entries_;
  size_t max_items_;
  size_t items_ = 0;
  std::list<Entry> entries_;  // most recently used first
};

}  // namespace nusk
