// A recent list (recent searches, opened items, locations, database folders): entries
// newest first, stored in one section under "Item0".."Item9", "ItemA", "ItemB", ...
//
// Loading stops at the first missing or empty key. Saving writes every slot up to the
// capacity and deletes the empty ones, so a shorter list leaves no stale entries.
// The menu command identifiers of the entries belong to the window code, which maps
// entry i to its own first identifier + i. Not thread-safe: owned by the window thread.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_file.h"

namespace nusk {

struct RecentListSpec {
  std::u16string_view section;
  size_t capacity;
};

inline constexpr RecentListSpec kRecentSearches{u"MRU", 16};
inline constexpr RecentListSpec kRecentOpened{u"MRO", 16};
inline constexpr RecentListSpec kRecentLocations{u"MRL", 16};
inline constexpr RecentListSpec kRecentDbLocations{u"RecentDbLocations", 8};

class RecentList {
 public:
  explicit RecentList(RecentListSpec spec) : spec_(spec) {}

  // "Item" followed by '0'+i below 10, else 'A'+(i-10).
  static std::u16string KeyFor(size_t index);

  // Replaces the entries with the file's (at most capacity of them).
  void Load(const SettingsFile& file);
  // Writes every slot up to the capacity; false when a write failed.
  bool Save(const SettingsFile& file) const;

  // Trims the entry; ignores it when empty; moves an identical entry (case counts) to the
  // front, otherwise inserts it there, dropping the oldest entry when full.
  void Add(std::u16string_view entry);
  // Moves entry index to the front (an entry chosen from the menu). Out of range: no effect.
  void MoveToFront(size_t index);
  // Removes entry index. Out of range: no effect.
  void Remove(size_t index);
  void Clear() { entries_.clear(); }

  const std::vector<std::u16string>& entries() const { return entries_; }
  const RecentListSpec& spec() const { return spec_; }

 private:
  RecentListSpec spec_;
  std::vector<std::u16string> entries_;
};

}  // namespace nusk
