// The matcher tree a query is evaluated with. Every node answers two questions:
//
// - MatchName(name row), asked once per distinct name, in three values: 1 when the
//   condition holds for every item of that name, 0 when it holds for none, -1 when it
//   depends on the item (item conditions such as sizes always answer -1 here). Combiners
//   use three-valued (Kleene) logic, so a 0 or 1 at the root is certain and lets a cursor
//   reject or accept all items of the name without looking at them.
// - MatchItem(item, its name row), asked only for names whose answer was -1: the exact
//   boolean answer (0 or 1) of the whole condition for that item; name conditions give
//   their name answer.
//
// This keeps the per-name pruning yet evaluates mixed trees exactly as the boolean formula
// reads: '!<abc /size:1k>' keeps small files named abc, '!<abc|/size:1k>' finds the small
// files whose names lack abc, and 'abc|/size:1m /f' does not take every file.
//
// Life: build the tree, Prepare(view) once on the root, ask any number of questions from
// one thread, destroy the root (children are owned by their parents).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "search/folder_scope.h"
#include "search/query_ranges.h"
#include "search/search_view.h"

namespace nusk {

class CMatcher {
 public:
  virtual ~CMatcher() = default;
  // Keeps the view; matchers that derive state from it extend this, combiners pass it on.
  virtual void Prepare(const SearchView& view) { view_ = &view; }
  virtual int MatchName(const NameRow& name) = 0;
  virtual int MatchItem(uint32_t item, const NameRow& name) = 0;

 protected:
  const SearchView* view_ = nullptr;
};

// Base of the conditions about names: the item answer is the name answer.
class CNameMatcher : public CMatcher {
 public:
  int MatchItem(uint32_t, const NameRow& name) override { return MatchName(name); }
};

// Base of the conditions about single items: no answer at the name level.
class CItemMatcher : public CMatcher {
 public:
  int MatchName(const NameRow&) override { return -1; }
  int MatchItem(uint32_t item, const NameRow&) override { return Match(item); }
  virtual int Match(uint32_t item) = 0;
};

using MatcherPtr = std::unique_ptr<CMatcher>;

// ---- Name conditions (text compared with the lower-cased name) ----

// Base of the text matchers: bits as typed, then lower-cased text and its length.
class CTextMatcher : public CNameMatcher {
 public:
  explicit CTextMatcher(std::u16string text) : text_(std::move(text)) {}
  void Prepare(const SearchView& view) override;
  // The text as typed until Prepare, lower-cased after.
  const std::u16string& text() const { return text_; }

 protected:
  bool Plausible(const NameRow& n) const { return BitsPass(n.bits, bits_) && n.length >= text_.size(); }
  std::u16string_view Name(const NameRow& n) const { return view_->Text(n); }
  std::u16string text_;
  uint32_t bits_ = 0;
};

class CKeywordMatcher : public CTextMatcher {  // the name contains the text
 public:
  using CTextMatcher::CTextMatcher;
  int MatchName(const NameRow& n) override;
};

class CHeadMatcher : public CTextMatcher {  // the name begins with the text
 public:
  using CTextMatcher::CTextMatcher;
  int MatchName(const NameRow& n) override;
};

class CTailMatcher : public CTextMatcher {  // the name ends with the text
 public:
  using CTextMatcher::CTextMatcher;
  int MatchName(const NameRow& n) override;
};

class CHeadTailMatcher : public CNameMatcher {  // begins with head and ends with tail
 public:
  CHeadTailMatcher(std::u16string head, std::u16string tail) : head_(std::move(head)), tail_(std::move(tail)) {}
  void Prepare(const SearchView& view) override;
  int MatchName(const NameRow& n) override;

 private:
  std::u16string head_, tail_;
  uint32_t bits_ = 0;
};

// "*" any run of characters, "?" any one character.
class CWildcardMatcher : public CNameMatcher {
 public:
  explicit CWildcardMatcher(std::u16string pattern) : pattern_(std::move(pattern)) {}
  void Prepare(const SearchView& view) override;
  int MatchName(const NameRow& n) override;

 private:
  std::u16string pattern_;
  uint32_t bits_ = 0;
  size_t min_length_ = 0;
};

// The wildcard comparison itself (pattern and name lower-case).
bool WildcardMatch(std::u16string_view pattern, std::u16string_view name);

class CFileMatcher : public CNameMatcher {
 public:
  int MatchName(const NameRow& n) override { return view_->IsFolderName(n) ? 0 : 1; }
};

class CFolderMatcher : public CNameMatcher {
 public:
  int MatchName(const NameRow& n) override { return view_->IsFolderName(n) ? 1 : 0; }
};

// ---- Item conditions ----

// Items below an absolute folder ("c:\windows"); a drive root ("c:") takes the whole
// drive. The folder itself is not below itself. Unresolvable folders match nothing.
class RootDirMatcher : public CItemMatcher {
 public:
  explicit RootDirMatcher(std::u16string folder) : text_(std::move(folder)) {}
  void Prepare(const SearchView& view) override;
  int Match(uint32_t item) override;

 private:
  std::u16string text_;
  FolderScope scope_;
};

// Items whose parent's lower-case path (with a trailing '\') contains the text.
class PartialDirMatcher : public CItemMatcher {
 public:
  explicit PartialDirMatcher(std::u16string text) : text_(std::move(text)) {}
  void Prepare(const SearchView& view) override;
  int Match(uint32_t item) override;

 private:
  std::u16string text_;
  std::vector<int8_t> by_folder_;  // answer per parent folder: -1 not yet known
};

// Base of the conditions on one number of an item within a parsed range.
template <typename Range>
class CRangeMatcher : public CItemMatcher {
 public:
  explicit CRangeMatcher(Range r) : range_(r) {}
  const Range& range() const { return range_; }

 protected:
  Range range_;
};

class FileSizeMatcher : public CRangeMatcher<SizeRange> {
 public:
  using CRangeMatcher::CRangeMatcher;
  int Match(uint32_t item) override;
};

class DateMatcher : public CRangeMatcher<DateRange> {
 public:
  using CRangeMatcher::CRangeMatcher;
  int Match(uint32_t item) override;
};

class DupMatcher : public CRangeMatcher<CountRange> {
 public:
  using CRangeMatcher::CRangeMatcher;
  int Match(uint32_t item) override;
};

class HashMatcher : public CItemMatcher {
 public:
  explicit HashMatcher(std::u16string text) : text_(std::move(text)) {}
  void Prepare(const SearchView& view) override;
  int Match(uint32_t item) override;

 private:
  std::u16string text_;
  uint32_t value_ = 0;
};

class HiddenMatcher : public CItemMatcher {
 public:
  int Match(uint32_t item) override;
};

// Items on drives that are present (wanted = true) or absent now. The set of present
// drives is a snapshot taken when the tree is built (bit i = drive i).
class OnlineMatcher : public CItemMatcher {
 public:
  OnlineMatcher(bool wanted, uint32_t present_drives) : wanted_(wanted), present_(present_drives) {}
  int Match(uint32_t item) override;

 private:
  bool wanted_;
  uint32_t present_;
};

class NullMatcher : public CMatcher {  // every item
 public:
  int MatchName(const NameRow&) override { return 1; }
  int MatchItem(uint32_t, const NameRow&) override { return 1; }
};

// ---- Combiners ----

// Base of AND and OR: an ordered list of owned children.
class CListMatcher : public CMatcher {
 public:
  void Add(MatcherPtr child) { children_.push_back(std::move(child)); }
  size_t size() const { return children_.size(); }
  MatcherPtr TakeOnly() { return std::move(children_[0]); }
  const std::vector<MatcherPtr>& children() const { return children_; }
  void Prepare(const SearchView& view) override;

 protected:
  std::vector<MatcherPtr> children_;
};

// Names: any 0 gives 0, all 1 give 1, else -1 (no children: 1). Items: all children hold.
class CAndMatcher : public CListMatcher {
 public:
  int MatchName(const NameRow& n) override;
  int MatchItem(uint32_t item, const NameRow& n) override;
};

// Names: any 1 gives 1, all 0 give 0, else -1 (no children: 0). Items: any child holds.
class COrMatcher : public CListMatcher {
 public:
  int MatchName(const NameRow& n) override;
  int MatchItem(uint32_t item, const NameRow& n) override;
};

class CNotMatcher : public CMatcher {
 public:
  explicit CNotMatcher(MatcherPtr child) : child_(std::move(child)) {}
  void Prepare(const SearchView& view) override { child_->Prepare(view); }
  int MatchName(const NameRow& n) override {
    const int a = child_->MatchName(n);
    return a < 0 ? -1 : 1 - a;
  }
  int MatchItem(uint32_t item, const NameRow& n) override { return 1 - child_->MatchItem(item, n); }

 private:
  MatcherPtr child_;
};

}  // namespace nusk
