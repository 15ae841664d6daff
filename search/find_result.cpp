#include "search/find_result.h"

#include <algorithm>
#include <bit>
#include <new>
#include <system_error>
#include <thread>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <vector>

#include "search/item_conditions.h"
#include "util/casemap.h"

namespace nusk {

namespace {
std::atomic<int> g_split_threads{std::thread::hardware_concurrency() >= 2 ? 2 : 1};
std::atomic<uint32_t> g_split_min_names{100000};
}  // namespace

void SetNameScanSplit(NameScanSplit split) {
  g_split_threads.store(split.threads);
  g_split_min_names.store(split.min_names);
}

NameScanSplit CurrentNameScanSplit() { return {g_split_threads.load(), g_split_min_names.load()}; }

namespace {

class EmptyResult : public INuskFindResult {
 public:
  bool Next() override { return false; }
  uint32_t Current() const override { return kNoItem; }
  const char* kind() const override { return "EmptyResult"; }
};

class AllResult : public INuskFindResult {
 public:
  explicit AllResult(uint32_t count) : count_(count) {}
  bool Next() override {
    if (next_ >= count_) return false;
    current_ = next_++;
    return true;
  }
  uint32_t Current() const override { return current_; }
  const char* kind() const override { return "AllResult"; }
  uint32_t known_count() const override { return count_; }

 private:
  uint32_t count_;
  uint32_t next_ = 0;
  uint32_t current_ = kNoItem;
};

// What the name-scanning cursors share: the items of the accepted row handed out in
// order, and the look at the stop flag every kStopCheckNames rows.
class RowItemsResult : public INuskFindResult {
 public:
  explicit RowItemsResult(const char* kind) : kind_(kind) {}
  uint32_t Current() const override { return current_; }
  const char* kind() const override { return kind_; }

 protected:
  // The next item of the accepted row, if any is left.
  bool NextItem() {
    if (item_ >= item_end_) return false;
    current_ = item_++;
    return true;
  }
  void TakeRow(const NameRow& n) {
    current_ = n.first;
    item_ = n.first + 1;
    item_end_ = n.first + n.count;
  }
  // Counts one row; true when the stop flag says to stop now (interrupted() is then set).
  bool StopBeforeRow() {
    if (--budget_ != 0) return false;
    budget_ = kStopCheckNames;
    interrupted_ = stop_ && stop_->load(std::memory_order_relaxed);
    return interrupted_;
  }

 private:
  const char* kind_;
  uint32_t budget_ = kStopCheckNames;
  uint32_t item_ = 0, item_end_ = 0;
  uint32_t current_ = kNoItem;
};

// Shared walk of the name-scanning cursors: rows in order, each accepted row's items in
// order. The name test is a template argument so the hot loop has no indirect call.
// The rows come in runs (NuskDb::NameRun): the tables themselves, or, of a snapshot read
// on demand, runs read from the file into a buffer of each scanning thread.
template <class Test>
class NameScanResult : public RowItemsResult {
 public:
  NameScanResult(const SearchView& view, Test test, const char* kind)
      : RowItemsResult(kind),
        db_(view.db()),
        count_(view.name_count),
        from_file_(db_.NameRunsFromFile()),
        test_(std::move(test)) {
    if (!from_file_) run_ = db_.WholeNameRun();
  }
  ~NameScanResult() override {
    if (helper_thread_.joinable()) {
      abandon_.store(true, std::memory_order_relaxed);
      helper_thread_.join();
    }
  }

  bool Next() override {
    if (NextItem()) return true;
    interrupted_ = false;
    if (!split_decided_) StartHelper();
    for (;;) {
      const uint32_t limit = helper_ ? mid_ : count_;
      while (row_ < limit) {
        if (StopBeforeRow()) {
          names_examined_ = row_;
          return false;
        }
        const uint32_t r = row_++;
        if (!run_.Holds(r)) TakeRun(r);
        const NameRow& n = run_.Row(r);
        if (n.count == 0 || !test_(n, run_.Text(n))) continue;
        TakeRow(n);
        names_examined_ = r + 1;
        return true;
      }
      if (!helper_) break;
      // The second half, as the helper found it: the same rows in the same order.
      if (helper_thread_.joinable()) helper_thread_.join();
      if (taken_ < found_.size()) {
        const Found& f = found_[taken_++];
        row_ = f.row + 1;
        NameRow n;
        n.first = f.first;
        n.count = f.count;
        TakeRow(n);
        names_examined_ = row_;
        return true;
      }
      // Whatever the helper did not get to (it stops early on the stop flag, or on a
      // run it could not read).
      row_ = helper_end_;
      helper_ = false;
    }
    names_examined_ = row_;
    return false;
  }

 private:
  struct Found {
    uint32_t row, first, count;
  };

  // The run that holds row r: read from the file, or, when that fails, the tables.
  void TakeRun(uint32_t r) {
    if (from_file_ && db_.ReadNameRun(r, &buffer_, &run_)) return;
    from_file_ = false;
    run_ = db_.WholeNameRun();
  }

  // A large name table: a helper thread tests the second half while this one walks the
  // first; its accepted rows are taken in order once the first half is done.
  void StartHelper() {
    split_decided_ = true;
    const NameScanSplit split = CurrentNameScanSplit();
    if (split.threads < 2 || count_ < split.min_names || count_ < 2) return;
    mid_ = count_ / 2;
    helper_end_ = count_;
    try {
      helper_thread_ = std::thread([this, from_file = from_file_, whole = run_] { ScanSecondHalf(from_file, whole); });
      helper_ = true;
    } catch (const std::system_error&) {
      // No thread to be had: one thread scans it all.
    }
  }

  // Reads runs of its own from the file (only reads), or the tables this thread was given.
  void ScanSecondHalf(bool from_file, NuskDb::NameRun run) {
    std::vector<uint64_t> buffer;
    uint32_t budget = kStopCheckNames;
    for (uint32_t r = mid_; r < count_; ++r) {
      if (--budget == 0) {
        budget = kStopCheckNames;
        if (abandon_.load(std::memory_order_relaxed) || (stop_ && stop_->load(std::memory_order_relaxed))) {
          helper_end_ = r;
          return;
        }
      }
      // A run that cannot be read is left to the walking thread, which falls back on the tables.
      if (!run.Holds(r) && !(from_file && db_.ReadNameRun(r, &buffer, &run))) {
        helper_end_ = r;
        return;
      }
      const NameRow& n = run.Row(r);
      if (n.count == 0 || !test_(n, run.Text(n))) continue;
      try {
        found_.push_back({r, n.first, n.count});
      } catch (const std::bad_alloc&) {
        helper_end_ = r;  // the walking thread tests the rest itself
        return;
      }
    }
  }

  const NuskDb& db_;
  uint32_t count_;
  bool from_file_;
  NuskDb::NameRun run_;
  std::vector<uint64_t> buffer_;
  Test test_;
  uint32_t row_ = 0;
  // The split scan: rows [mid_, count_) belong to the helper while helper_ is set.
  bool split_decided_ = false, helper_ = false;
  uint32_t mid_ = 0, helper_end_ = 0;
  size_t taken_ = 0;
  std::vector<Found> found_;  // written by the helper, read after the join
  std::atomic<bool> abandon_{false};
  std::thread helper_thread_;
};

// The walk of the rows the trigram index gave (ascending), with the same test and the
// same order as NameScanResult: only the blocks of these rows are read. With `exact`
// the rows are known to pass the test (the text is then not read at all).
template <class Test>
class CandidateScanResult : public RowItemsResult {
 public:
  CandidateScanResult(const SearchView& view, Test test, std::vector<uint32_t> rows, bool exact, const char* kind)
      : RowItemsResult(kind), db_(view.db()), rows_(std::move(rows)), test_(std::move(test)), exact_(exact) {}

  bool Next() override {
    if (NextItem()) return true;
    interrupted_ = false;
    while (next_ < rows_.size()) {
      if (StopBeforeRow()) return false;
      const uint32_t r = rows_[next_++];
      const NameRow n = db_.NameRowChecked(r);
      names_examined_ = next_;
      if (n.count == 0 || (!exact_ && !test_(n, db_.NameTextChecked(r)))) continue;
      TakeRow(n);
      return true;
    }
    return false;
  }

 private:
  const NuskDb& db_;
  std::vector<uint32_t> rows_;
  Test test_;
  bool exact_;
  size_t next_ = 0;
};

// A name scan whose test needs every one of `literals` in the name: when one of them
// has 3 units or more and the index has its trigram index, only the candidate rows are
// tested; otherwise every row. `contains_only`: the test is passed by exactly the names
// that hold the one literal (then a literal of 3 units is one trigram, and its list is
// the answer).
template <class Test>
FindResultPtr MakeScan(const SearchView& view, Test test, const char* kind,
                       const std::vector<std::u16string>& literals = {}, bool contains_only = false) {
  bool long_literal = false;
  for (const std::u16string& l : literals) long_literal = long_literal || l.size() >= 3;
  std::vector<uint32_t> rows;
  if (long_literal && view.db().TrigramCandidateRows(literals, &rows)) {
    const bool exact = contains_only && literals.size() == 1 && literals[0].size() == 3;
    return std::make_unique<CandidateScanResult<Test>>(view, std::move(test), std::move(rows), exact, kind);
  }
  return std::make_unique<NameScanResult<Test>>(view, std::move(test), kind);
}

// The substring test of the plain cursors. A start position is a candidate when the
// name has the text's first character there and its last character where the text would
// end; only candidates compare the characters between. Eight start positions are tried
// at once with SSE2 (both loads stay inside the name); the rest one by one.
bool ContainsText(const NameRow& n, const char16_t* name, const std::u16string& text) {
  const size_t len = text.size();
  if (len == 0) return true;
  if (n.length < len) return false;
  const char16_t* t = text.data();
  const char16_t first = t[0], last = t[len - 1];
  const size_t middle = len >= 2 ? len - 2 : 0;
  auto middle_equal = [&](size_t at) {
    for (size_t j = 0; j < middle; ++j)
      if (name[at + 1 + j] != t[1 + j]) return false;
    return true;
  };
  const size_t starts = n.length - len + 1;
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i want_first = _mm_set1_epi16(static_cast<short>(first));
  const __m128i want_last = _mm_set1_epi16(static_cast<short>(last));
  for (; i + 8 <= starts; i += 8) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(name + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(name + i + len - 1));
    unsigned mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi16(a, want_first), _mm_cmpeq_epi16(b, want_last))));
    while (mask) {
      const int bit = std::countr_zero(mask);
      if (middle_equal(i + bit / 2)) return true;
      mask &= ~(3u << bit);
    }
  }
#endif
  for (; i < starts; ++i)
    if (name[i] == first && name[i + len - 1] == last && middle_equal(i)) return true;
  return false;
}

struct SingleCharTest {
  char16_t c;
  bool operator()(const NameRow& n, const char16_t* name) const {
    for (size_t i = n.length; i-- > 0;) {
      if (name[i] == c) return true;
    }
    return false;
  }
};

struct NameBitsTest {
  std::u16string text;
  uint32_t bits;
  bool operator()(const NameRow& n, const char16_t* name) const {
    return BitsPass(n.bits, bits) && n.length >= text.size() && ContainsText(n, name, text);
  }
};

struct HeadTailTest {
  std::u16string text;
  uint32_t bits;
  bool head;
  bool operator()(const NameRow& n, const char16_t* name) const {
    if (!BitsPass(n.bits, bits) || n.length < text.size()) return false;
    const char16_t* at = head ? name : name + (n.length - text.size());
    return std::char_traits<char16_t>::compare(at, text.data(), text.size()) == 0;
  }
};

// Pieces of a wildcard pattern, each at its leftmost place after the previous one;
// '?' is an ordinary character here.
struct WildcardTest {
  std::vector<std::u16string> pieces;
  uint32_t bits = 0;
  size_t total = 0;
  bool anchor_start = false, anchor_end = false;

  bool operator()(const NameRow& n, const char16_t* text) const {
    if (!BitsPass(n.bits, bits) || n.length < total) return false;
    const std::u16string_view name(text, n.length);
    size_t from = 0, to = name.size(), first = 0, last = pieces.size();
    if (anchor_start) {
      if (!name.starts_with(pieces[0])) return false;
      from = pieces[0].size();
      first = 1;
    }
    if (anchor_end && last > first) {
      if (!name.ends_with(pieces[last - 1])) return false;
      to -= pieces[last - 1].size();
      --last;
    }
    for (size_t i = first; i < last; ++i) {
      const size_t at = name.substr(0, to).find(pieces[i], from);
      if (at == std::u16string_view::npos) return false;
      from = at + pieces[i].size();
    }
    return true;
  }
};

struct KeywordsTest {
  std::vector<std::u16string> keywords;
  uint32_t bits = 0;
  bool operator()(const NameRow& n, const char16_t* name) const {
    if (!BitsPass(n.bits, bits)) return false;
    for (const std::u16string& k : keywords) {
      if (n.length < k.size() || !ContainsText(n, name, k)) return false;
    }
    return true;
  }
};

// The general cursor: asks the tree's name question once per row; a certain answer takes
// or skips all the row's items, an uncertain one asks the item question per item.
class LogicalResult : public INuskFindResult {
 public:
  LogicalResult(const SearchView& view, MatcherPtr tree) : view_(view), tree_(std::move(tree)) { tree_->Prepare(view); }

  bool Next() override {
    interrupted_ = false;
    for (;;) {
      while (item_ < item_end_) {
        const uint32_t i = item_++;
        if (name_answer_ == 1 || tree_->MatchItem(i, *row_name_)) {
          current_ = i;
          return true;
        }
      }
      if (!NextRow()) return false;
    }
  }
  uint32_t Current() const override { return current_; }
  const char* kind() const override { return "LogicalResult"; }

 private:
  bool NextRow() {
    while (row_ < view_.name_count) {
      if (--budget_ == 0) {
        budget_ = kStopCheckNames;
        if (stop_ && stop_->load(std::memory_order_relaxed)) {
          interrupted_ = true;
          return false;
        }
      }
      const NameRow& n = view_.names()[row_++];
      names_examined_ = row_;
      if (n.count == 0) continue;
      const int answer = tree_->MatchName(n);
      if (answer == 0) continue;
      name_answer_ = answer;
      row_name_ = &n;
      item_ = n.first;
      item_end_ = n.first + n.count;
      return true;
    }
    return false;
  }

  const SearchView& view_;
  MatcherPtr tree_;
  uint32_t row_ = 0;
  uint32_t budget_ = kStopCheckNames;
  uint32_t item_ = 0, item_end_ = 0;
  int name_answer_ = 0;  // 1: every item of the row; -1: ask each item
  const NameRow* row_name_ = nullptr;
  uint32_t current_ = kNoItem;
};

// A query of item-table conditions only: a loop over the items in index order (the
// order the name rows give them in). Items are tested a block of kStopCheckNames at a
// time without branches on the data, the passing ones collected for Next to hand out;
// the stop flag is looked at after each block. names_examined counts the rows passed.
class ItemScanResult : public INuskFindResult {
 public:
  ItemScanResult(const SearchView& view, ItemTableTest test)
      : name_of_(view.name_of_item()), name_count_(view.name_count), test_(test), next_(test.begin()) {}

  bool Next() override {
    interrupted_ = false;
    while (taken_ == found_) {
      if (next_ >= test_.end()) {
        names_examined_ = name_count_;
        return false;
      }
      if (next_ != test_.begin() && stop_ && stop_->load(std::memory_order_relaxed)) {
        interrupted_ = true;
        names_examined_ = name_of_[next_];
        return false;
      }
      FillBlock();
    }
    current_ = block_[taken_++];
    return true;
  }
  uint32_t Current() const override { return current_; }
  const char* kind() const override { return "ItemScanResult"; }

 private:
  void FillBlock() {
    const uint32_t count = std::min<uint32_t>(kStopCheckNames, test_.end() - next_);
    if (test_.sized()) {
      found_ = test_.dated() ? Collect<true, true>(count) : Collect<true, false>(count);
    } else {
      found_ = test_.dated() ? Collect<false, true>(count) : Collect<false, false>(count);
    }
    taken_ = 0;
    next_ += count;
  }
  template <bool kSized, bool kDated>
  uint32_t Collect(uint32_t count) const {
    uint32_t* out = block_.get();
    uint32_t n = 0;
    for (uint32_t i = next_, end = next_ + count; i < end; ++i) {
      out[n] = i;
      n += test_.Passes<kSized, kDated>(i);
    }
    return n;
  }

  const uint32_t* name_of_;
  uint32_t name_count_;
  ItemTableTest test_;
  uint32_t next_;
  std::unique_ptr<uint32_t[]> block_{new uint32_t[kStopCheckNames]};
  uint32_t taken_ = 0, found_ = 0;
  uint32_t current_ = kNoItem;
};

// The items of a keyword scan that also meet item-table conditions, in the scan's order.
class ItemFilterResult : public INuskFindResult {
 public:
  ItemFilterResult(FindResultPtr names, ItemTableTest test) : names_(std::move(names)), test_(test) {}

  bool Next() override {
    names_->set_stop_flag(stop_);
    bool found = false;
    while (!found && names_->Next()) {
      const uint32_t i = names_->Current();
      found = i >= test_.begin() && i < test_.end() && test_(i);
    }
    interrupted_ = names_->interrupted();
    names_examined_ = names_->names_examined();
    return found;
  }
  uint32_t Current() const override { return names_->Current(); }
  const char* kind() const override { return "ItemFilterResult"; }

 private:
  FindResultPtr names_;
  ItemTableTest test_;
};

enum class PatternForm { kPlain, kHead, kTail, kWildcard };

// Puts a lone pattern into its final form (see CreateFindResult).
PatternForm Normalise(std::u16string* pattern) {
  std::u16string& p = *pattern;
  const size_t star = p.find(u'*');
  if (star == std::u16string::npos) return PatternForm::kPlain;
  if (star == p.size() - 1) {
    p.pop_back();
    return PatternForm::kHead;
  }
  std::u16string collapsed;
  for (char16_t c : p) {
    if (c != u'*' || collapsed.empty() || collapsed.back() != u'*') collapsed += c;
  }
  p = std::move(collapsed);
  if (star > 0) {
    if (star == p.size() - 1) {
      p.pop_back();
      return PatternForm::kHead;
    }
    return PatternForm::kWildcard;
  }
  if (p.size() == 1) {
    p.clear();
    return PatternForm::kPlain;
  }
  if (p.find(u'*', 1) != std::u16string::npos) return PatternForm::kWildcard;
  p.erase(0, 1);
  return PatternForm::kTail;
}

FindResultPtr PatternResult(std::u16string pattern, const SearchView& view) {
  const PatternForm form = Normalise(&pattern);
  if (pattern.empty()) return MakeAllResult(view);
  const uint32_t bits = SearchTextBits(pattern);
  std::u16string lower = ToLower(pattern);
  switch (form) {
    case PatternForm::kHead:
    case PatternForm::kTail: {
      const std::vector<std::u16string> literals{lower};
      return MakeScan(view, HeadTailTest{std::move(lower), bits, form == PatternForm::kHead}, "HeadTailNameBitsResult",
                      literals);
    }
    case PatternForm::kWildcard: {
      WildcardTest t;
      t.bits = bits;
      t.anchor_start = lower.front() != u'*';
      t.anchor_end = lower.back() != u'*';
      size_t start = 0;
      while (start <= lower.size()) {
        size_t stop = lower.find(u'*', start);
        if (stop == std::u16string::npos) stop = lower.size();
        if (stop > start) {
          t.pieces.push_back(lower.substr(start, stop - start));
          t.total += stop - start;
        }
        start = stop + 1;
      }
      const std::vector<std::u16string> literals = t.pieces;
      return MakeScan(view, std::move(t), "WildcardResult", literals);
    }
    case PatternForm::kPlain: break;
  }
  if (lower.size() == 1) return MakeScan(view, SingleCharTest{lower[0]}, "SingleCharResult");
  const std::vector<std::u16string> literals{lower};
  // A name that holds the text passes its bits test (SearchTextBits).
  return MakeScan(view, NameBitsTest{std::move(lower), bits}, "NameBitsResult", literals, true);
}

bool IsPlainTerm(const std::u16string& t) {
  return !(t.starts_with(u'@')) && t.find_first_of(u"*|/\\<") == std::u16string::npos;
}

// Names that contain every keyword (as typed; compared lower-cased).
FindResultPtr KeywordsScan(const std::vector<std::u16string>& keywords, const SearchView& view) {
  KeywordsTest t;
  std::u16string joined;
  for (const std::u16string& k : keywords) {
    joined += k;
    t.keywords.push_back(ToLower(k));
  }
  t.bits = SearchTextBits(joined);
  const std::vector<std::u16string> literals = t.keywords;
  return MakeScan(view, std::move(t), "KeywordsResult", literals);
}

}  // namespace

FindResultPtr MakeEmptyResult() { return std::make_unique<EmptyResult>(); }

FindResultPtr MakeAllResult(const SearchView& view) { return std::make_unique<AllResult>(view.item_count); }

FindResultPtr CreateFindResult(const ParsedQuery& query, const SearchView& view, const TermContext& ctx) {
  if (query.terms.empty() && query.folders.size() <= 1) return PatternResult(query.pattern, view);
  bool plain = query.folders.size() < 2;
  for (const std::u16string& t : query.terms) plain = plain && IsPlainTerm(t);
  if (plain) return KeywordsScan(query.terms, view);
  MatcherPtr tree = BuildQueryMatcher(query.terms, query.folders, ctx);
  ItemConditions c;
  if (!ReduceToItemConditions(*tree, &c)) return std::make_unique<LogicalResult>(view, std::move(tree));
  ItemTableTest test(c, view);
  if (c.keywords.empty()) return std::make_unique<ItemScanResult>(view, test);
  return std::make_unique<ItemFilterResult>(KeywordsScan(c.keywords, view), test);
}

}  // namespace nusk
