// NuskDb: paths, names, derived tables and hidden states over the loaded arrays.
#include "index/nusk_db.h"

#include <algorithm>

#include "index/name_key.h"
#include "util/casemap.h"

namespace nusk {

namespace {
constexpr size_t kPathUnits = 512;
constexpr size_t kMaxChain = 256;
}  // namespace

NuskDb::NuskDb() { path_[kPathUnits - 1] = 0; }
NuskDb::~NuskDb() = default;

void NuskDb::Reset() {
  n_ = f_ = m_ = fm_ = 0;
  last_full_build_ = 0;
  tables_.Release();
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

// Copies name k in front of *pos in the path buffer (case restored when asked).
void NuskDb::CopyName(uint32_t k, bool restore_case, size_t* pos) {
  const NameRow& row = rows_[k];
  *pos -= row.length;
  char16_t* dst = path_ + *pos;
  std::copy_n(text_ + row.text_offset, row.length, dst);
  if (!restore_case) return;
  const uint8_t* cases = CasePositions(k);
  for (size_t c = 0; c < row.case_count; ++c)
    if (cases[c] >= 1 && cases[c] <= row.length) name_key_detail::UpperAt(dst, row.length, cases[c] - 1);
}

std::u16string_view NuskDb::BuildPathInto(uint32_t item, bool mark_folders, bool restore_case) {
  size_t pos = kPathUnits - 1;
  path_[pos] = 0;
  if (item >= n_) return {};
  if (mark_folders && IsFolder(item)) path_[--pos] = u'\\';
  CopyName(name_of_[item], restore_case, &pos);
  // Each step consumes at least one unit of the buffer, so the walk always ends.
  for (uint32_t cur = item, p = parent_[item]; p != kNoItem && p != cur; cur = p, p = parent_[p]) {
    if (size_t{rows_[name_of_[p]].length} + 1 > pos) break;
    path_[--pos] = u'\\';
    CopyName(name_of_[p], restore_case, &pos);
  }
  return {path_ + pos, kPathUnits - 1 - pos};
}

std::u16string_view NuskDb::BuildPath(uint32_t item, bool mark_folders) {
  return BuildPathInto(item, mark_folders, true);
}

std::u16string_view NuskDb::BuildLowerPath(uint32_t item) { return BuildPathInto(item, true, false); }

uint32_t NuskDb::FindFolderByPath(std::u16string_view path) const {
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
    // Folder names 0 .. FM-1 are in key order, hence in lower-case text order.
    auto less = [&](uint32_t k, std::u16string_view v) { return NameText(k) < v; };
    uint32_t lo = 0, hi = fm_;
    while (lo < hi) {
      uint32_t mid = lo + (hi - lo) / 2;
      if (less(mid, part)) lo = mid + 1; else hi = mid;
    }
    uint32_t next = kNoItem;
    for (uint32_t k = lo; k < fm_ && NameText(k) == part && next == kNoItem; ++k) {
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
  for (uint32_t steps = 0; parent_[item] != kNoItem && steps < n_; ++steps) item = parent_[item];
  return item;
}

std::u16string NuskDb::ItemName(uint32_t item) const {
  if (item >= n_) return {};
  uint32_t k = name_of_[item];
  return RestoreCase(NameText(k), CasePositions(k), rows_[k].case_count);
}

uint64_t NuskDb::ItemSizeBytes(uint32_t item) const {
  uint64_t bytes = BytesFromSizeForm(size_[item]);
  if (bytes == 0 && IsFolder(item) && !folder_sizes_.empty()) return folder_sizes_[item];
  return bytes;
}

std::u16string_view NuskDb::Extension(uint32_t item) const {
  if (item >= n_ || IsFolder(item)) return {};
  std::u16string_view name = NameText(name_of_[item]);
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
  folder_sizes_.assign(f_, 0);
  for (uint32_t i = f_; i < n_; ++i) {
    uint64_t bytes = BytesFromSizeForm(size_[i]);
    if (bytes == 0) continue;
    for (uint32_t p = parent_[i]; p != kNoItem; p = parent_[p]) folder_sizes_[p] += bytes;
  }
}

void NuskDb::ComputeFolderFileCounts() {
  if (!folder_counts_.empty() || f_ == 0) return;
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
  for (uint32_t i = 0; i < n_; ++i)
    for (uint32_t p = parent_[i]; p != kNoItem; p = parent_[p])
      if (p == item) {
        hide_[i] = state;
        break;
      }
}

std::vector<uint32_t> NuskDb::AncestorChain(uint32_t item) {
  uint32_t chain[kMaxChain];
  size_t count = 0;
  for (uint32_t x = item; x != kNoItem && x < n_ && count < kMaxChain; x = parent_[x]) chain[kMaxChain - 1 - count++] = x;
  std::vector<uint32_t> names(count);
  for (size_t i = 0; i < count; ++i) names[i] = name_of_[chain[kMaxChain - count + i]];
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
  const std::vector<uint32_t>& ca = parent_[a] == kNoItem ? kEmpty : CachedChain(parent_[a]);
  const std::vector<uint32_t>& cb = parent_[b] == kNoItem ? kEmpty : CachedChain(parent_[b]);
  size_t n = std::min(ca.size(), cb.size());
  for (size_t i = 0; i < n; ++i)
    if (ca[i] != cb[i]) return ca[i] < cb[i] ? -1 : 1;
  return static_cast<int>(ca.size()) - static_cast<int>(cb.size());
}

const std::u16string& NuskDb::DriveListText() {
  if (drive_list_built_) return drive_list_;
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
  for (uint32_t i = 0; i < std::min(n, n_); ++i)
    if (GetHideState(i) == HideState::kShown) lists[parent_[i]].push_back(i);
  return lists;
}

}  // namespace nusk
