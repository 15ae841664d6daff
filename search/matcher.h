// The matcher tree a query is evaluated with. Every node answers two questions, one about
// a distinct name (a name-table row) and one about a single item, each three-valued:
// 1 matches, 0 does not, -1 no opinion (the condition is not about that kind of thing).
// Name conditions answer -1 for items and item conditions -1 for names, so one tree can
// mix both; a cursor accepts an item when the name answer was not 0 and the item answer
// is 1, or is -1 while the name answer is 1.
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
  virtual void Prepare(const SearchView& view) {}
  virtual int MatchItem(uint32_t item) { return -1; }
  virtual int MatchName(const NameRow& name) { return -1; }
};

using MatcherPtr = std::unique_ptr<CMatcher>;

// ---- Name conditions (text compared with the lower-cased name) ----

// Base of the text matchers: bits as typed, then lower-cased text and its length.
class CTextMatcher : public CMatcher {
 public:
  explicit CTextMatcher(std::u16string text) : text_(std::move(text)) {}
  void Prepare(const SearchView& view) override;

 protected:
  bool Plausible(const NameRow& n) const { return BitsPass(n.bits, bits_) && n.length >= text_.size(); }
  std::u16string_view Name(const NameRow& n) const { return view_->Text(n); }
  std::u16string text_;
  uint32_t bits_ = 0;
  const SearchView* view_ = nullptr;
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

class CHeadTailMatcher : public CMatcher {  // begins with head and ends with tail
 public:
  CHeadTailMatcher(std::u16string head, std::u16string tail) : head_(std::move(head)), tail_(std::move(tail)) {}
  void Prepare(const SearchView& view) override;
  int MatchName(const NameRow& n) override;

 private:
  std::u16string head_, tail_;
  uint32_t bits_ = 0;
  const SearchView* view_ = nullptr;
};

// "*" any run of characters, "?" any one character.
class CWildcardMatcher : public CMatcher {
 public:
  explicit CWildcardMatcher(std::u16string pattern) : pattern_(std::move(pattern)) {}
  void Prepare(const SearchView& view) override;
  int MatchName(const NameRow& n) override;

 private:
  std::u16string pattern_;
  uint32_t bits_ = 0;
  size_t min_length_ = 0;
  const SearchView* view_ = nullptr;
};

// The wildcard comparison itself (pattern and name lower-case).
bool WildcardMatch(std::u16string_view pattern, std::u16string_view name);

class CFileMatcher : public CMatcher {
 public:
  void Prepare(const SearchView& view) override { view_ = &view; }
  int MatchName(const NameRow& n) override { return view_->IsFolderName(n) ? 0 : 1; }

 private:
  const SearchView* view_ = nullptr;
};

class CFolderMatcher : public CMatcher {
 public:
  void Prepare(const SearchView& view) override { view_ = &view; }
  int MatchName(const NameRow& n) override { return view_->IsFolderName(n) ? 1 : 0; }

 private:
  const SearchView* view_ = nullptr;
};

// ---- Item conditions ----

// Items below an absolute folder ("c:\windows"); a drive root ("c:") takes the whole
// drive. The folder itself is not below itself. Unresolvable folders match nothing.
class RootDirMatcher : public CMatcher {
 public:
  explicit RootDirMatcher(std::u16string folder) : text_(std::move(folder)) {}
  void Prepare(const SearchView& view) override;
  int MatchItem(uint32_t item) override;

 private:
  std::u16string text_;
  const SearchView* view_ = nullptr;
  FolderScope scope_;
};

// Items whose parent's lower-case path (with a trailing '\') contains the text.
class PartialDirMatcher : public CMatcher {
 public:
  explicit PartialDirMatcher(std::u16string text) : text_(std::move(text)) {}
  void Prepare(const SearchView& view) override;
  int MatchItem(uint32_t item) override;

 private:
  std::u16string text_;
  const SearchView* view_ = nullptr;
  std::vector<int8_t> by_folder_;  // answer per parent folder: -1 not yet known
};

class FileSizeMatcher : public CMatcher {
 public:
  explicit FileSizeMatcher(SizeRange r) : range_(r) {}
  void Prepare(const SearchView& view) override { view_ = &view; }
  int MatchItem(uint32_t item) override;

 private:
  SizeRange range_;
  const SearchView* view_ = nullptr;
};

class DateMatcher : public CMatcher {
 public:
  explicit DateMatcher(DateRange r) : range_(r) {}
  void Prepare(const SearchView& view) override { view_ = &view; }
  int MatchItem(uint32_t item) override;

 private:
  DateRange range_;
  const SearchView* view_ = nullptr;
};

class DupMatcher : public CMatcher {
 public:
  explicit DupMatcher(CountRange r) : range_(r) {}
  void Prepare(const SearchView& view) override { view_ = &view; }
  int MatchItem(uint32_t item) override;

 private:
  CountRange range_;
  const SearchView* view_ = nullptr;
};

class HashMatcher : public CMatcher {
 public:
  explicit HashMatcher(std::u16string text) : text_(std::move(text)) {}
  void Prepare(const SearchView& view) override;
  int MatchItem(uint32_t item) override;

 private:
  std::u16string text_;
  uint32_t value_ = 0;
  const SearchView* view_ = nullptr;
};

class HiddenMatcher : public CMatcher {
 public:
  void Prepare(const SearchView& view) override { view_ = &view; }
  int MatchItem(uint32_t item) override;

 private:
  const SearchView* view_ = nullptr;
};

// Items on drives that are present (wanted = true) or absent now. The set of present
// drives is a snapshot taken when the tree is built (bit i = drive i).
class OnlineMatcher : public CMatcher {
 public:
  OnlineMatcher(bool wanted, uint32_t present_drives) : wanted_(wanted), present_(present_drives) {}
  void Prepare(const SearchView& view) override { view_ = &view; }
  int MatchItem(uint32_t item) override;

 private:
  bool wanted_;
  uint32_t present_;
  const SearchView* view_ = nullptr;
};

class NullMatcher : public CMatcher {  // every item
 public:
  int MatchItem(uint32_t) override { return 1; }
};

// ---- Combiners ----

// Base of AND and OR: an ordered list of owned children.
class CListMatcher : public CMatcher {
 public:
  void Add(MatcherPtr child) { children_.push_back(std::move(child)); }
  size_t size() const { return children_.size(); }
  MatcherPtr TakeOnly() { return std::move(children_[0]); }
  void Prepare(const SearchView& view) override;

 protected:
  std::vector<MatcherPtr> children_;
};

// First 0 decides 0; else 1 if any child said 1; else -1 (also with no children).
class CAndMatcher : public CListMatcher {
 public:
  int MatchItem(uint32_t item) override;
  int MatchName(const NameRow& n) override;
};

// First 1 decides 1; else -1 if any child said -1; else 0 (also with no children).
class COrMatcher : public CListMatcher {
 public:
  int MatchItem(uint32_t item) override;
  int MatchName(const NameRow& n) override;
};

class CNotMatcher : public CMatcher {
 public:
  explicit CNotMatcher(MatcherPtr child) : child_(std::move(child)) {}
  void Prepare(const SearchView& view) override { child_->Prepare(view); }
  int MatchItem(uint32_t item) override { return Not(child_->MatchItem(item)); }
  int MatchName(const NameRow& n) override { return Not(child_->MatchName(n)); }

 private:
  static int Not(int a) { return a < 0 ? -1 : 1 - a; }
  MatcherPtr child_;
};

// The acceptance rule for an item, given its name's answer and its own answer.
inline bool AcceptItem(int name_answer, int item_answer) {
  return name_answer != 0 && (item_answer == 1 || (item_answer < 0 && name_answer == 1));
}

}  // namespace nusk
