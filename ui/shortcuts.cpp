#include "ui/shortcuts.h"

#include <algorithm>

#include "settings/numbered_list.h"
#include "util/utf.h"

namespace nusk {

namespace {

constexpr uint8_t V = kAccelVirtKey, C = kAccelCtrl, S = kAccelShift, A = kAccelAlt;

constexpr NamedCommand kCommands[] = {
    {u"File.OpenPath", V | C, vk::kReturn},
    {u"File.Open", V | C, 'O'},
    {u"File.Properties", 0, 0},
    {u"File.MoreActions", V | S, vk::kApps},
    {u"File.Export", 0, 0},
    {u"File.Close", V | C, 'W'},
    {u"Edit.Copy", V | C, 'C'},
    {u"Edit.CopyName", V | C | S, 'C'},
    {u"Edit.CopyFullName", V | C | S | A, 'C'},
    {u"Edit.TextSize.Increase", V | C, vk::kOemPlus},
    {u"Edit.TextSize.Decrease", V | C, vk::kOemMinus},
    {u"Edit.TextSize.Reset", V | C, '0'},
    {u"Edit.SelectAll", V | C, 'A'},
    {u"Edit.SelectNone", 0, 0},
    {u"Edit.InvertSelection", 0, 0},
    {u"Edit.HideSelectedItems", 0, 0},
    {u"Edit.GotoRow", V | C, 'G'},
    {u"Database.BuildAll", V, vk::kF7},
    {u"Database.RebuildAll", V | S, vk::kF7},
    {u"Database.Load.DefaultLocation", 0, 0},
    {u"Database.Load.Browse", 0, 0},
    {u"Database.Reload", V, vk::kF6},
    {u"Database.DbLocations", V | C, 'D'},
    {u"Database.CleanAll", 0, 0},
    {u"Database.ReloadHashInfo", 0, 0},
    {u"Database.ShowIgnoredFolders", 0, 0},
    {u"Search.NewSearch", V | C, 'N'},
    {u"Search.RecentSearches", V | C, 'E'},
    {u"Search.RecentLocations", 0, 0},
    {u"Search.NamedSearches", V | A, '2'},
    {u"Search.QueryComposer", V | C, 'Q'},
    {u"Search.GoBack", V | A, vk::kLeft},
    {u"Search.GoForward", V | A, vk::kRight},
    {u"Search.GoUp", V | A, vk::kUp},
    {u"View.Toolbar", V | C, 'T'},
    {u"View.Statusbar", V | C, 'U'},
    {u"View.FolderTree", V | C, vk::kTab},
    {u"View.NavigationButtons", 0, 0},
    {u"View.Thumbnails", V | C, 'M'},
    {u"View.AlternatRowGroupColors", 0, 0},
    {u"Tools.Options", V | C, 'P'},
    {u"Tools.KeyboardShortcuts", 0, 0},
    {u"Tools.OpenDbLocation", 0, 0},
    {u"Tools.WebServer", 0, 0},
    {u"Tools.PreviewWindow", 0, 0},
    {u"Tools.ComputeContentHashes", 0, 0},
    {u"Help.HelpTopics", V, vk::kF1},
    {u"Help.CheckForUpdates", 0, 0},
    {u"Help.About", 0, 0},
    {u"Other.FocusTheSearchBox", V | A, 'D'},
    {u"MoreActions.Action1", 0, 0},
    {u"MoreActions.Action2", 0, 0},
    {u"MoreActions.Action3", 0, 0},
    {u"MoreActions.Action4", 0, 0},
    {u"MoreActions.Action5", 0, 0},
    {u"MoreActions.Action6", 0, 0},
    {u"MoreActions.Action7", 0, 0},
    {u"MoreActions.Action8", 0, 0},
    {u"MoreActions.Action9", 0, 0},
};

// A whole decimal field (optional blanks around, an optional minus sign).
std::optional<int64_t> ParseField(std::u16string_view text) {
  while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  bool negative = false;
  if (!text.empty() && text.front() == u'-') negative = true, text.remove_prefix(1);
  if (text.empty() || text.size() > 10) return std::nullopt;
  int64_t v = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    v = v * 10 + (c - u'0');
  }
  return negative ? -v : v;
}

const Shortcut* ForCommand(std::span<const Shortcut> table, int command) {
  for (const Shortcut& s : table)
    if (s.command == command) return &s;
  return nullptr;
}

}  // namespace

std::span<const NamedCommand> NamedCommands() { return kCommands; }

const NamedCommand* FindNamedCommand(std::u16string_view name) {
  for (const NamedCommand& c : kCommands)
    if (c.name == name) return &c;
  return nullptr;
}

std::vector<Shortcut> PrepareBuiltinShortcuts(std::span<const Shortcut> builtin) {
  std::vector<Shortcut> out;
  for (Shortcut s : builtin) {
    if (ForCommand(out, s.command)) continue;
    s.flags &= static_cast<uint8_t>(~kAccelNoInvert);
    out.push_back(s);
  }
  return out;
}

std::optional<Shortcut> ParseShortcutItem(std::u16string_view text) {
  const size_t c1 = text.find(u',');
  if (c1 == std::u16string_view::npos) return std::nullopt;
  const size_t c2 = text.find(u',', c1 + 1);
  if (c2 == std::u16string_view::npos) return std::nullopt;
  const std::optional<int64_t> command = ParseField(text.substr(0, c1));
  const std::optional<int64_t> flags = ParseField(text.substr(c1 + 1, c2 - c1 - 1));
  const std::optional<int64_t> key = ParseField(text.substr(c2 + 1));
  if (!command || !flags || !key) return std::nullopt;
  // Command identifiers and keys are 16-bit in an accelerator entry, the flags 8-bit.
  if (*command <= 0 || *command > 0xFFFF || *flags < 0 || *flags > 0xFF || *key < 0 || *key > 0xFFFF) {
    return std::nullopt;
  }
  return Shortcut{static_cast<int>(*command), static_cast<uint8_t>(*flags), static_cast<uint16_t>(*key)};
}

std::u16string ShortcutItemText(const Shortcut& s) {
  return U16(std::to_string(s.command) + "," + std::to_string(s.flags) + "," + std::to_string(s.key));
}

std::vector<Shortcut> ReadUserShortcuts(const SettingsFile& file, std::span<const Shortcut> defaults) {
  std::vector<Shortcut> table(defaults.begin(), defaults.end());
  for (const NumberedItem& item : LoadNumberedList(file, kKeyboardShortcutList)) {
    const std::optional<Shortcut> s = ParseShortcutItem(item.front());
    if (!s) continue;
    auto at = std::find_if(table.begin(), table.end(), [&](const Shortcut& t) { return t.command == s->command; });
    if (at != table.end()) {
      *at = *s;
    } else {
      table.push_back(*s);
    }
  }
  std::erase_if(table, [](const Shortcut& s) { return s.key == 0; });
  return table;
}

bool SaveUserShortcuts(const SettingsFile& file, std::span<const Shortcut> defaults,
                       std::span<const Shortcut> current) {
  std::vector<NumberedItem> items;
  for (const Shortcut& s : current) {
    if (s.key == 0) continue;
    const Shortcut* def = ForCommand(defaults, s.command);
    if (def && *def == s) continue;
    items.push_back({ShortcutItemText(s)});
  }
  for (const Shortcut& d : defaults) {
    const Shortcut* now = ForCommand(current, d.command);
    if (!now || now->key == 0) items.push_back({ShortcutItemText(Shortcut{d.command, 0, 0})});
  }
  return SaveNumberedList(file, kKeyboardShortcutList, items);
}

int AssignShortcut(std::vector<Shortcut>* table, int command, uint8_t flags, uint16_t key) {
  flags &= static_cast<uint8_t>(~kAccelNoInvert);
  int lost = 0;
  if (key != 0) {
    for (const Shortcut& s : *table) {
      if (s.command != command && s.key == key && s.flags == flags) lost = s.command;
    }
  }
  std::erase_if(*table, [&](const Shortcut& s) { return s.command == command || (lost && s.command == lost); });
  if (key != 0) table->push_back(Shortcut{command, flags, key});
  return lost;
}

uint8_t AccelFlagsFromHotkey(uint8_t hotkey_modifiers) {
  uint8_t flags = kAccelVirtKey;
  if (hotkey_modifiers & 0x01) flags |= kAccelShift;
  if (hotkey_modifiers & 0x02) flags |= kAccelCtrl;
  if (hotkey_modifiers & 0x04) flags |= kAccelAlt;
  return flags;
}

bool SearchBoxKeepsKey(uint8_t modifiers, uint16_t key) {
  const uint8_t mods = modifiers & (kAccelCtrl | kAccelShift | kAccelAlt);
  const bool moving =
      key == vk::kLeft || key == vk::kRight || key == vk::kHome || key == vk::kEnd || key == vk::kDelete || key == 0x08;
  switch (mods) {
    case 0: return moving;
    case kAccelCtrl:
      return moving || key == vk::kInsert || key == 'A' || key == 'C' || key == 'V' || key == 'X' || key == 'Y' ||
             key == 'Z';
    case kAccelShift: return moving || key == vk::kInsert;
    case kAccelCtrl | kAccelShift: return moving || key == 'Z';
  }
  return false;
}

bool NeedsExtendedBit(uint16_t key) {
  switch (key) {
    case vk::kPrior:
    case vk::kNext:
    case vk::kEnd:
    case vk::kHome:
    case vk::kInsert:
    case vk::kDelete:
    case vk::kDivide:
    case vk::kNumLock: return true;
  }
  return false;
}

std::u16string ShortcutText(uint8_t flags, uint16_t key, const KeyNameFn& key_name) {
  if (key == 0) return {};
  std::u16string text;
  if (flags & kAccelCtrl) text += u" + Ctrl";
  if (flags & kAccelShift) text += u" + Shift";
  if (flags & kAccelAlt) text += u" + Alt";
  text += u" + ";
  if (!(flags & kAccelVirtKey)) {
    text += static_cast<char16_t>(key);  // a character accelerator names its character
  } else {
    switch (key) {
      case vk::kLeft: text += u"Left"; break;
      case vk::kUp: text += u"Up"; break;
      case vk::kRight: text += u"Right"; break;
      case vk::kDown: text += u"Down"; break;
      case vk::kApps: text += u"ContextMenu"; break;
      default: text += key_name ? key_name(key, NeedsExtendedBit(key)) : std::u16string(); break;
    }
  }
  return text.substr(3);
}

}  // namespace nusk
