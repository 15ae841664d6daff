#include "search/matcher.h"

#include "search/folder_scope.h"
#include "util/casemap.h"

namespace nusk {
namespace {

bool Contains(std::u16string_view name, std::u16string_view text) {
  return name.find(text) != std::u16string_view::npos;
}

}  // namespace

bool WildcardMatch(std::u16string_view pattern, std::u16string_view name) {
  size_t p = 0, s = 0;
  size_t resume_p = std::u16string_view::npos, resume_s = 0;
  while (s < name.size()) {
    if (p < pattern.size() && pattern[p] == u'*') {
      ++p;
      if (p == pattern.size()) return true;
      resume_p = p;
      resume_s = s + 1;
    } else if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[s])) {
      ++p;
      ++s;
    } else if (resume_p == std::u16string_view::npos) {
      return false;
    } else {
      p = resume_p;
      s = resume_s++;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

void CTextMatcher::Prepare(const SearchView& view) {
  view_ = &view;
  bits_ = SearchTextBits(text_);
  text_ = ToLower(text_);
}

int CKeywordMatcher::MatchName(const NameRow& n) { return Plausible(n) && Contains(Name(n), text_); }

int CHeadMatcher::MatchName(const NameRow& n) { return Plausible(n) && Name(n).starts_with(text_); }

int CTailMatcher::MatchName(const NameRow& n) { return Plausible(n) && Name(n).ends_with(text_); }

void CHeadTailMatcher::Prepare(const SearchView& view) {
  view_ = &view;
  bits_ = SearchTextBits(head_ + tail_);
  head_ = ToLower(head_);
  tail_ = ToLower(tail_);
}

int CHeadTailMatcher::MatchName(const NameRow& n) {
  return BitsPass(n.bits, bits_) && n.length >= head_.size() + tail_.size() && view_->Text(n).starts_with(head_) &&
         view_->Text(n).ends_with(tail_);
}

void CWildcardMatcher::Prepare(const SearchView& view) {
  view_ = &view;
  bits_ = SearchTextBits(pattern_);
  pattern_ = ToLower(pattern_);
  min_length_ = 0;
  for (char16_t c : pattern_) min_length_ += c != u'*';
}

int CWildcardMatcher::MatchName(const NameRow& n) {
  return BitsPass(n.bits, bits_) && n.length >= min_length_ && WildcardMatch(pattern_, view_->Text(n));
}

void RootDirMatcher::Prepare(const SearchView& view) {
  view_ = &view;
  scope_ = ResolveFolderScope(view, text_);
}

int RootDirMatcher::Match(uint32_t item) { return scope_.resolved() && scope_.Contains(*view_, item); }

void PartialDirMatcher::Prepare(const SearchView& view) {
  view_ = &view;
  text_ = ToLower(text_);
  if (text_.size() >= 2 && text_.ends_with(u"*\\")) text_.resize(text_.size() - 2);
  by_folder_.assign(view.folder_count, -1);
}

int PartialDirMatcher::Match(uint32_t item) {
  const uint32_t p = view_->parent(item);
  if (p == kNoItem) return 0;
  if (p < by_folder_.size() && by_folder_[p] >= 0) return by_folder_[p];
  const int8_t answer = view_->db().BuildLowerPath(p).find(text_) != std::u16string::npos;
  if (p < by_folder_.size()) by_folder_[p] = answer;
  return answer;
}

int FileSizeMatcher::Match(uint32_t item) {
  const uint64_t size = view_->db().ItemSizeBytes(item);
  return range_.lower <= size && size <= range_.upper;
}

int DateMatcher::Match(uint32_t item) {
  const uint32_t t = view_->time(item);
  return range_.lower <= t && t < range_.end;
}

int DupMatcher::Match(uint32_t item) {
  const int32_t count = view_->dup_counts ? view_->dup_counts[item] : 0;
  return range_.lower <= count && count <= range_.upper;
}

void HashMatcher::Prepare(const SearchView& view) {
  view_ = &view;
  value_ = ParseHashValue(text_);
}

int HashMatcher::Match(uint32_t item) {
  if (value_ == 0 || !view_->hash_values) return 0;
  return view_->hash_values[item] == value_;
}

int HiddenMatcher::Match(uint32_t item) { return view_->hidden(item); }

int OnlineMatcher::Match(uint32_t item) {
  const uint8_t drive = view_->drives()[item];
  const bool present = drive < 26 && (present_ >> drive) & 1;
  return present == wanted_;
}

void CListMatcher::Prepare(const SearchView& view) {
  for (auto& c : children_) c->Prepare(view);
}

namespace {

// AND and OR differ only in the answer that decides at once (0 for AND, 1 for OR); the
// other one holds when every child gives it, and -1 (not known from the name) otherwise.
template <int kDecisive>
int CombineNames(const std::vector<MatcherPtr>& children, const NameRow& n) {
  int answer = 1 - kDecisive;
  for (auto& c : children) {
    const int a = c->MatchName(n);
    if (a == kDecisive) return kDecisive;
    if (a < 0) answer = -1;
  }
  return answer;
}

template <int kDecisive>
int CombineItems(const std::vector<MatcherPtr>& children, uint32_t item, const NameRow& n) {
  for (auto& c : children) {
    if ((c->MatchItem(item, n) != 0) == (kDecisive != 0)) return kDecisive;
  }
  return 1 - kDecisive;
}

}  // namespace

int CAndMatcher::MatchName(const NameRow& n) { return CombineNames<0>(children_, n); }
int CAndMatcher::MatchItem(uint32_t item, const NameRow& n) { return CombineItems<0>(children_, item, n); }
int COrMatcher::MatchName(const NameRow& n) { return CombineNames<1>(children_, n); }
int COrMatcher::MatchItem(uint32_t item, const NameRow& n) { return CombineItems<1>(children_, item, n); }

}  // namespace nusk
