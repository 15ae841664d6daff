// The navigation history of the main window (Go Back, Go Forward) and Go Up.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "search/sort.h"

namespace nusk {

struct NavEntry {
  std::u16string text;  // the search text
  SortKeys keys;        // the list's sort keys
  int focused_row = -1;
  int scroll_pos = 0;
  bool operator==(const NavEntry&) const = default;
};

class NavHistory {
 public:
  // Before a search from a typed text or a chosen location: a text other than the entry
  // at the cursor starts a new entry after the cursor (dropping every later entry); the
  // same text updates the cursor's entry with the current keys and positions.
  void Record(const NavEntry& current);
  // Records current, steps back and returns the entry to restore; nullopt (and nothing
  // recorded) when there is no earlier entry.
  std::optional<NavEntry> Back(const NavEntry& current);
  // The same towards the last entry. A current text other than the cursor's entry starts a
  // new last entry, after which there is nothing to go forward to (nullopt).
  std::optional<NavEntry> Forward(const NavEntry& current);

  bool CanBack() const { return !entries_.empty() && cursor_ > 0; }
  bool CanForward() const { return !entries_.empty() && cursor_ + 1 < entries_.size(); }
  size_t size() const { return entries_.size(); }

 private:
  std::vector<NavEntry> entries_;
  size_t cursor_ = 0;  // meaningful while entries_ is not empty
};

// Go Up: drops a trailing '\' and then the last component, keeping the '\' before it
// ("C:\a\b\" -> "C:\a\", "C:\a" -> "C:\"). A drive root ("C:\" or "C:") or an empty
// folder gives empty: no restriction, every item.
std::u16string GoUpFolder(std::u16string_view folder);

}  // namespace nusk
