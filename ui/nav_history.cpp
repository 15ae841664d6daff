#include "ui/nav_history.h"

namespace nusk {

void NavHistory::Record(const NavEntry& current) {
  if (!entries_.empty() && entries_[cursor_].text == current.text) {
    entries_[cursor_] = current;
    return;
  }
  if (!entries_.empty()) {
    entries_.resize(cursor_ + 1);
    ++cursor_;
  }
  entries_.push_back(current);
  cursor_ = entries_.size() - 1;
}

std::optional<NavEntry> NavHistory::Back(const NavEntry& current) {
  if (!CanBack()) return std::nullopt;
  Record(current);
  // Recording a new text moved the cursor onto it; step back from there.
  --cursor_;
  return entries_[cursor_];
}

std::optional<NavEntry> NavHistory::Forward(const NavEntry& current) {
  if (!CanForward()) return std::nullopt;
  Record(current);
  if (!CanForward()) return std::nullopt;  // a new text replaced the later entries
  ++cursor_;
  return entries_[cursor_];
}

std::u16string GoUpFolder(std::u16string_view folder) {
  std::u16string_view f = folder;
  if (!f.empty() && f.back() == u'\\') f.remove_suffix(1);
  const size_t slash = f.rfind(u'\\');
  if (slash == std::u16string_view::npos) return {};
  return std::u16string(f.substr(0, slash + 1));
}

}  // namespace nusk
