#include "settings/recent_list.h"

#include <algorithm>

namespace nusk {

namespace {
std::u16string_view Trim(std::u16string_view s) {
  auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}
}  // namespace

std::u16string RecentList::KeyFor(size_t index) {
  char16_t c = index < 10 ? static_cast<char16_t>(u'0' + index) : static_cast<char16_t>(u'A' + (index - 10));
  return std::u16string(u"Item") + c;
}

void RecentList::Load(const SettingsFile& file) {
  entries_.clear();
  for (size_t i = 0; i < spec_.capacity; ++i) {
    std::u16string entry = file.ReadText(spec_.section, KeyFor(i));
    if (entry.empty()) break;
    entries_.push_back(std::move(entry));
  }
}

bool RecentList::Save(const SettingsFile& file) const {
  bool ok = true;
  for (size_t i = 0; i < spec_.capacity; ++i) {
    if (i < entries_.size()) {
      ok = file.WriteText(spec_.section, KeyFor(i), entries_[i]) && ok;
    } else {
      ok = file.DeleteKey(spec_.section, KeyFor(i)) && ok;
    }
  }
  return ok;
}

void RecentList::Add(std::u16string_view entry) {
  entry = Trim(entry);
  if (entry.empty()) return;
  auto same = std::find(entries_.begin(), entries_.end(), entry);
  if (same != entries_.end()) {
    std::rotate(entries_.begin(), same, same + 1);
    return;
  }
  entries_.insert(entries_.begin(), std::u16string(entry));
  if (entries_.size() > spec_.capacity) entries_.resize(spec_.capacity);
}

void RecentList::MoveToFront(size_t index) {
  if (index >= entries_.size()) return;
  std::rotate(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(index),
              entries_.begin() + static_cast<std::ptrdiff_t>(index) + 1);
}

void RecentList::Remove(size_t index) {
  if (index < entries_.size()) entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
}

}  // namespace nusk
