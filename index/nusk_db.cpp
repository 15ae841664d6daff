// NuskDb: paths, names, derived tables and hidden states over the loaded arrays.
#include "index/nusk_db.h"

#include <algorithm>

#include "index/name_key.h"
#include "index/search_snapshot.h"
#include "util/casemap.h"

namespace nusk {

namespace {
constexpr size_t kPathUnits = 512;  // enough for nearly every path; deeper ones grow it
}  // namespace

NuskDb::NuskDb() : path_(kPathUnits, 0) {}
NuskDb::~NuskDb() = default;

void NuskDb::Reset() {
  n_ = f_ = m_ = fm_ = 0;
  last_full_build_ = 0;
  tables_.Release();
  snapshot_.reset();
  ring_ = nullptr;
  unchecked_ = 0;
  parent_ = time_ = size_ = name_of_ = nullptr;
  drive_ = case_ = nullptr;
  ref_ = nullptr;
  rows_ = nullptr;
  text_ = nullptr;
  hide_ = {};
  folder_sizes_ = {};
  folder_counts_ = {};
  chain_cache_ = {};
  chain_cached_ = {};
  for (std::u16string& l : labels_) l.clear();
  drive_list_.clear();
  drive_list_built_ = false;
  loaded_ = false;
}

// Copies a name (its row) in front of *pos in the path buffer (case restored when asked).
// Of a snapshot only the blocks that hold this name are checked: printing a few paths
// reads a few blocks, not the whole tables.
void NuskDb::CopyName(const NameRow& row, bool restore_case, size_t* pos) {
  const char16_t* text = NameTextChecked(row);
  *pos -= row.length;
  char16_t* dst = path_.data() + *pos;
  std::copy_n(text, row.length, dst);
  if (!restore_case || !row.case_count) return;
  const auto* cases = reinterpret_cast<const uint8_t*>(CheckedBytes(kTabCase, row.case_offset, row.case_count));
  for (size_t c = 0; c < row.case_count; ++c)
    if (cases[c] >= 1 && cases[c] <= row.length) name_key_detail::UpperAt(dst, row.length, cases[c] - 1);
}

const char16_t* NuskDb::NameTextChecked(uint32_t k) const { return NameTextChecked(NameRowChecked(k)); }

const char16_t* NuskDb::NameTextChecked(const NameRow& row) const {
  // The kind character before the text and the terminator after it belong to the row.
  const uint64_t from = row.text_offset ? row.text_offset - 1 : 0;
  const char* bytes = CheckedBytes(kTabText, 2 * from, 2 * (uint64_t{row.text_offset} + row.length + 1 - from));
  return reinterpret_cast<const char16_t*>(bytes) + (row.text_offset - from);
}

std::u16string_view NuskDb::BuildPathInto(uint32_t item, bool mark_folders, bool restore_case) {
  if (item >= n_) return {};
  // Built right to left; a path that does not fit is built again in a buffer twice as
  // large, so the usual path costs one walk and a deep one a few.
  for (;;) {
    const size_t end = path_.size() - 1;
    size_t pos = end;
    path_[pos] = 0;
    if (mark_folders && IsFolder(item)) path_[--pos] = u'\\';
    const NameRow own = NameRowChecked(NameOfChecked(item));
    bool fits = own.length <= pos;
    if (fits) CopyName(own, restore_case, &pos);
    // The loader refused looping chains; the step count guards the walk all the same.
    uint32_t steps = 0;
    for (uint32_t cur = item, p = ParentChecked(item); fits && p != kNoItem && p != cur && steps < n_;
         cur = p, p = ParentChecked(p), ++steps) {
      const NameRow row = NameRowChecked(NameOfChecked(p));
      if (size_t{row.length} + 1 > pos) {
        fits = false;
        break;
      }
      path_[--pos] = u'\\';
      CopyName(row, restore_case, &pos);
    }
    if (fits) return {path_.data() + pos, end - pos};
    path_.assign(path_.size() * 2, 0);
  }
}

std::u16string_view NuskDb::BuildPath(uint32_t item, bool mark_folders) {
  return BuildPathInto(item, mark_folders, true);
}

std::u16string_view NuskDb::BuildLowerPath(uint32_t item) { return BuildPathInto(item, true, false); }

int NuskDb::CompareFolderKey(uint32_t k, std::u16string_view v) const {
  Need(kTabNameText);
  const NameRow& row = rows_[k];
  const size_t key_units = size_t{row.length} + (row.case_count ? 1 + size_t{row.case_count} : 0);
  const uint8_t* cases = CasePositions(k);
  for (size_t i = 0; i < key_units && i < v.size(); ++i) {
    const char16_t u = i < row.length    ? text_[row.text_offset + i]
                       : i == row.length ? char16_t{0x1F}
                                         : char16_t{cases[i - row.length - 1]};
    if (u != v[i]) return u < v[i] ? -1 : 1;
  }
  return key_units == v.size() ? 0 : (key_units < v.size() ? -1 : 1);
}

uint32_t NuskDb::FolderKeyBound(std::u16string_view v) const {
  uint32_t lo = 0, hi = fm_;
  while (lo < hi) {
    const uint32_t mid = lo + (hi - lo) / 2;
    if (CompareFolderKey(mid, v) < 0) lo = mid + 1;
    else hi = mid;
  }
  return lo;
}

uint32_t NuskDb::FindFolderByPath(std::u16string_view path) const {
  Need(kTabParent | kTabNameText);
  std::u16string lower = ToLower(path);
  uint32_t current = kNoItem;
  bool first_part = true;
  size_t start = 0;
  while (start <= lower.size()) {
    size_t end = lower.find(u'\\', start);
    if (end == std::u16string::npos) end = lower.size();
    std::u16string_view part(lower.data() + start, end - start);
    start = end + 1;
    if (part.empty()) continue;
    // Folder names 0 .. FM-1 are in key order. A name's key is its text, then for names
    // with capitals the unit 0x1F and the case positions, so the names whose text is
    // part lie among the keys from part up to part + 0x20 (a sibling like part + U+0001
    // sorts between the lower-case and the capitalised spelling): all of them are looked at.
    std::u16string past(part);
    past.push_back(0x20);
    uint32_t next = kNoItem;
    for (uint32_t k = FolderKeyBound(part); k < fm_ && CompareFolderKey(k, past) < 0 && next == kNoItem; ++k) {
      if (NameText(k) != part) continue;
      const NameRow& row = rows_[k];
      if (first_part) {
        next = row.first;
        break;
      }
      for (uint32_t j = row.first; j < row.first + row.count; ++j)
        if (parent_[j] == current) {
          next = j;
          break;
        }
    }
    if (next == kNoItem) return kNoItem;
    current = next;
    first_part = false;
  }
  return current;
}

uint32_t NuskDb::RootOf(uint32_t item) const {
  if (item >= n_) return kNoItem;
  Need(kTabParent);
  for (uint32_t steps = 0; parent_[item] != kNoItem && steps < n_; ++steps) item = parent_[item];
  return item;
}

std::u16string NuskDb::ItemName(uint32_t item) const {
  if (item >= n_) return {};
  Need(kTabNameOf | kTabNameText);
  uint32_t k = name_of_[item];
  return RestoreCase(NameText(k), CasePositions(k), rows_[k].case_count);
}

uint64_t NuskDb::ItemSizeBytes(uint32_t item) const {
  Need(kTabSize);
  uint64_t bytes = BytesFromSizeForm(size_[item]);
  if (bytes == 0 && IsFolder(item) && !folder_sizes_.empty()) return folder_sizes_[item];
  return bytes;
}

std::u16string_view NuskDb::Extension(uint32_t item) const {
  if (item >= n_ || IsFolder(item)) return {};
  std::u16string_view name = NameText(NameOf(item));
  size_t dot = name.rfind(u'.');
  return dot == std::u16string_view::npos ? std::u16string_view() : name.substr(dot + 1);
}

const std::u16string& NuskDb::DriveLabel(char16_t letter) const {
  static const std::u16string kNone;
  if (letter >= u'a' && letter <= u'z') letter -= 0x20;
  return (letter >= u'A' && letter <= u'Z') ? labels_[letter - u'A'] : kNone;
}

void NuskDb::ComputeFolderSizes() {
  if (!folder_sizes_.empty() || f_ == 0) return;
  Need(kTabParent | kTabSize);
  folder_sizes_.assign(f_, 0);
  for (uint32_t i = f_; i < n_; ++i) {
    uint64_t bytes = BytesFromSizeForm(size_[i]);
    if (bytes == 0) continue;
    for (uint32_t p = parent_[i]; p != kNoItem; p = parent_[p]) folder_sizes_[p] += bytes;
  }
}

void NuskDb::ComputeFolderFileCounts() {
  if (!folder_counts_.empty() || f_ == 0) return;
  Need(kTabParent);
  folder_counts_.assign(f_, 0);
  for (uint32_t i = f_; i < n_; ++i)
    for (uint32_t p = parent_[i]; p != kNoItem; p = parent_[p]) ++folder_counts_[p];
}

void NuskDb::SetHideState(uint32_t item, bool removed) {
  if (item >= n_) return;
  if (hide_.empty()) hide_.assign(n_, 0);
  const uint8_t state = static_cast<uint8_t>(removed ? HideState::kRemoved : HideState::kHidden);
  hide_[item] = state;
  if (!IsFolder(item)) return;
  Need(kTabParent);
  for (uint32_t i = 0; i < n_; ++i)
    for (uint32_t p = parent_[i]; p != kNoItem; p = parent_[p])
      if (p == item) {
        hide_[i] = state;
        break;
      }
}

std::vector<uint32_t> NuskDb::AncestorChain(uint32_t item) {
  Need(kTabParent | kTabNameOf);
  std::vector<uint32_t> names;
  for (uint32_t x = item, steps = 0; x != kNoItem && x < n_ && steps <= n_; x = parent_[x], ++steps)
    names.push_back(name_of_[x]);
  std::reverse(names.begin(), names.end());
  return names;
}

const std::vector<uint32_t>& NuskDb::CachedChain(uint32_t folder) {
  if (chain_cache_.empty()) {
    chain_cache_.resize(f_);
    chain_cached_.assign(f_, 0);
  }
  if (!chain_cached_[folder]) {
    chain_cache_[folder] = AncestorChain(folder);
    chain_cached_[folder] = 1;
  }
  return chain_cache_[folder];
}

int NuskDb::CompareByAncestors(uint32_t a, uint32_t b) {
  static const std::vector<uint32_t> kEmpty;
  Need(kTabParent);
  const std::vector<uint32_t>& ca = parent_[a] == kNoItem ? kEmpty : CachedChain(parent_[a]);
  const std::vector<uint32_t>& cb = parent_[b] == kNoItem ? kEmpty : CachedChain(parent_[b]);
  size_t n = std::min(ca.size(), cb.size());
  for (size_t i = 0; i < n; ++i)
    if (ca[i] != cb[i]) return ca[i] < cb[i] ? -1 : 1;
  return static_cast<int>(ca.size()) - static_cast<int>(cb.size());
}

const std::u16string& NuskDb::DriveListText() {
  if (drive_list_built_) return drive_list_;
  Need(kTabParent);
  for (uint32_t i = 0; i < f_; ++i) {
    if (parent_[i] != kNoItem) continue;
    std::u16string name = ItemName(i);
    if (!name.empty()) drive_list_.push_back(name[0]);
  }
  drive_list_built_ = true;
  return drive_list_;
}

std::map<uint32_t, std::vector<uint32_t>> NuskDb::ChildLists(uint32_t n) const {
  std::map<uint32_t, std::vector<uint32_t>> lists;
  lists[kNoItem];
  Need(kTabParent);
  for (uint32_t i = 0; i < std::min(n, n_); ++i)
    if (GetHideState(i) == HideState::kShown) lists[parent_[i]].push_back(i);
  return lists;
}

}  // namespace nusk
