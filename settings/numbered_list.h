// Numbered lists kept in one section: `Count`, then items numbered from 1, each item made
// of one or more keys ("Name3" and "Search3"). Loading reads items 1..Count and skips an
// item whose first field is empty. Some lists delete their section before writing, the
// others leave items numbered above a smaller new Count in the file, unread.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_file.h"

namespace nusk {

struct NumberedListSpec {
  std::u16string_view section;
  std::vector<std::u16string_view> fields;  // key prefixes, one per field of an item
  bool delete_before_write;
};

// Named searches: Name<n>, Search<n>.
extern const NumberedListSpec kNamedSearchList;
// Custom actions: Name<n>, Command<n>.
extern const NumberedListSpec kCustomActionList;
// Keyboard shortcuts: Item<n> as "%d,%d,%d"; the section is deleted before writing.
extern const NumberedListSpec kKeyboardShortcutList;
// Folders holding an ignore marker: Item_<n>; the section is deleted before writing.
extern const NumberedListSpec kIgnoreFolderList;

// One item: one text per field of the list (for example a name and its search).
using NumberedItem = std::vector<std::u16string>;

std::vector<NumberedItem> LoadNumberedList(const SettingsFile& file, const NumberedListSpec& spec);

// Writes Count and the items from 1. An item with the wrong number of fields is refused
// (false, nothing written). False when a write failed.
bool SaveNumberedList(const SettingsFile& file, const NumberedListSpec& spec, const std::vector<NumberedItem>& items);

}  // namespace nusk
