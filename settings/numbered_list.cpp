#include "settings/numbered_list.h"

#include <algorithm>
#include <string>

#include "util/utf.h"

namespace nusk {

const NumberedListSpec kNamedSearchList{u"NamedSearch", {u"Name", u"Search"}, false};
const NumberedListSpec kCustomActionList{u"CustomAction", {u"Name", u"Command"}, false};
const NumberedListSpec kKeyboardShortcutList{u"KeyboardShortcuts", {u"Item"}, true};
const NumberedListSpec kIgnoreFolderList{u"NuskIgnoreFolders", {u"Item_"}, true};

namespace {
// A Count larger than this is damage, not a list: reading stops there.
constexpr int64_t kMaxItems = 10000;

std::u16string ItemKey(std::u16string_view field, size_t number) {
  return std::u16string(field) + U16(std::to_string(number));
}
}  // namespace

std::vector<NumberedItem> LoadNumberedList(const SettingsFile& file, const NumberedListSpec& spec) {
  std::vector<NumberedItem> items;
  int64_t count = std::min(file.ReadInteger(spec.section, u"Count"), kMaxItems);
  for (int64_t n = 1; n <= count; ++n) {
    NumberedItem item;
    for (std::u16string_view field : spec.fields) {
      item.push_back(file.ReadText(spec.section, ItemKey(field, static_cast<size_t>(n))));
    }
    if (!item.empty() && !item.front().empty()) items.push_back(std::move(item));
  }
  return items;
}

bool SaveNumberedList(const SettingsFile& file, const NumberedListSpec& spec, const std::vector<NumberedItem>& items) {
  for (const NumberedItem& item : items) {
    if (item.size() != spec.fields.size()) return false;
  }
  if (spec.delete_before_write && !file.DeleteSection(spec.section)) return false;
  bool ok = file.WriteInteger(spec.section, u"Count", static_cast<int64_t>(items.size()));
  for (size_t i = 0; i < items.size(); ++i) {
    for (size_t f = 0; f < spec.fields.size(); ++f) {
      ok = file.WriteText(spec.section, ItemKey(spec.fields[f], i + 1), items[i][f]) && ok;
    }
  }
  return ok;
}

}  // namespace nusk
