// Keyboard shortcuts of the main window: the commands a user can bind by name, their
// built-in shortcuts, the user's table in `KeyboardShortcuts` laid over them, and the text
// a shortcut shows ("Ctrl + Shift + C").
//
// A shortcut is the accelerator triple: command identifier, modifier flags and virtual-key
// code. The command identifiers belong to the window; this code only carries them.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_file.h"

namespace nusk {

// Accelerator flags (the values the system's accelerator tables use).
inline constexpr uint8_t kAccelVirtKey = 0x01;
inline constexpr uint8_t kAccelNoInvert = 0x02;
inline constexpr uint8_t kAccelShift = 0x04;
inline constexpr uint8_t kAccelCtrl = 0x08;
inline constexpr uint8_t kAccelAlt = 0x10;

// Virtual-key codes named by the rules below (the system's values).
namespace vk {
inline constexpr uint16_t kTab = 0x09, kReturn = 0x0D, kPrior = 0x21, kNext = 0x22, kEnd = 0x23, kHome = 0x24,
                          kLeft = 0x25, kUp = 0x26, kRight = 0x27, kDown = 0x28, kInsert = 0x2D, kDelete = 0x2E,
                          kApps = 0x5D, kDivide = 0x6F, kF1 = 0x70, kF6 = 0x75, kF7 = 0x76, kNumLock = 0x90,
                          kOemPlus = 0xBB, kOemMinus = 0xBD;
}

struct Shortcut {
  int command = 0;
  uint8_t flags = 0;
  uint16_t key = 0;  // 0: the command has no shortcut
  bool operator==(const Shortcut&) const = default;
};

// A command the shortcut editor lists, by name, with its built-in shortcut (key 0: none).
struct NamedCommand {
  std::u16string_view name;  // "Edit.Copy"
  uint8_t flags;
  uint16_t key;
};

// Every bindable command in the editor's order: the menu commands, "Other.FocusTheSearchBox"
// and "MoreActions.Action1".."MoreActions.Action9".
std::span<const NamedCommand> NamedCommands();
const NamedCommand* FindNamedCommand(std::u16string_view name);

// The built-in table as the window translates with it: the no-invert flag cleared and one
// entry per command (the first one a command has).
std::vector<Shortcut> PrepareBuiltinShortcuts(std::span<const Shortcut> builtin);

// One `KeyboardShortcuts` item: "command,flags,key" in decimal. Null when the text lacks two
// commas, a field is not a decimal number or a value is out of range (the item is skipped).
std::optional<Shortcut> ParseShortcutItem(std::u16string_view text);
std::u16string ShortcutItemText(const Shortcut& s);

// The defaults with the user's items of `KeyboardShortcuts` laid over them: an item replaces
// its command's shortcut or adds one; an item with key 0 takes the command's shortcut away.
// The result holds no entry with key 0.
std::vector<Shortcut> ReadUserShortcuts(const SettingsFile& file, std::span<const Shortcut> defaults);

// Deletes the section and writes `Count` and one item for each command whose shortcut
// differs from its default (a removed default as key 0), numbered from 1, in the order of
// `current` and then the removed defaults. False when a write failed.
bool SaveUserShortcuts(const SettingsFile& file, std::span<const Shortcut> defaults, std::span<const Shortcut> current);

// The system's name of a key: (virtual-key code, extended-key bit) to its name for the key's
// scan code. Supplied by the window (it is an operating-system call).
using KeyNameFn = std::function<std::u16string(uint16_t key, bool extended)>;

// Whether the key's name is asked for with the extended-key bit: Page Up, Page Down, End,
// Home, Insert, Delete, the numeric pad's Divide and Num Lock.
bool NeedsExtendedBit(uint16_t key);

// "Ctrl + Shift + C": the modifiers Ctrl, Shift, Alt in that order, then the key's name; the
// arrows are "Left", "Up", "Right", "Down", the context-menu key "ContextMenu", every other
// key takes key_name. Empty for key 0.
std::u16string ShortcutText(uint8_t flags, uint16_t key, const KeyNameFn& key_name);

// The shortcut editor's change: gives `command` the shortcut (flags, key), or takes its
// shortcut away with key 0. A key combination belongs to one command: another command that
// had it loses it. Returns the command that lost it, 0 when none.
int AssignShortcut(std::vector<Shortcut>* table, int command, uint8_t flags, uint16_t key);

// Accelerator flags from the modifiers of a hot-key control (1 Shift, 2 Ctrl, 4 Alt).
uint8_t AccelFlagsFromHotkey(uint8_t hotkey_modifiers);

// Whether the search box keeps a key for its own editing even when a shortcut uses it
// (modifiers as accelerator flags): copy, cut, paste, undo, redo and select all with Ctrl,
// moving and deleting by character or word, Shift+Insert and Shift+Delete.
bool SearchBoxKeepsKey(uint8_t modifiers, uint16_t key);

}  // namespace nusk
