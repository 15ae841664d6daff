// The window's keyboard shortcuts: the named commands with their identifiers, the
// accelerator table built from the built-in table and the user's `KeyboardShortcuts`, the
// system's key names, and the shortcut texts shown in the menus.
#pragma once
#include <windows.h>

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_file.h"
#include "ui/shortcuts.h"

namespace nusk {

// The identifier of a named command ("Edit.Copy"), 0 when the name is unknown; and back
// (empty for a command without a name).
int CommandIdOf(std::u16string_view name);
std::u16string_view CommandNameOf(int id);

// The built-in accelerator table (resource 103) as the window uses it: no-invert flags
// cleared, one entry per command.
std::vector<Shortcut> BuiltinShortcuts();

// The built-in table with the user's section laid over it, as an accelerator table (null
// when the table is empty or cannot be made). *table receives the entries.
HACCEL BuildAccelerators(const SettingsFile& file, std::vector<Shortcut>* table);

// The system's name of a key by its scan code, with the extended-key bit when asked.
std::u16string SystemKeyName(uint16_t key, bool extended);

// The shortcut text of a command in the table, empty when it has none.
std::u16string ShortcutTextOf(std::span<const Shortcut> table, int command);

// Puts each command's shortcut text after a tab in its menu item (popups included); a named
// command without a shortcut shows none; an item of another command keeps its text.
void ShowShortcutsInMenu(HMENU menu, std::span<const Shortcut> table);

}  // namespace nusk
