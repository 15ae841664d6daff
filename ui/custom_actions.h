// Custom actions: named command lines run on the selected result item, kept in the
// `CustomAction` section, edited as "name=command line" lines and listed in the
// "More actions" menu. Action i (from 0) is command 40340 + i for the window.
#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_file.h"

namespace nusk {

struct CustomAction {
  std::u16string name;
  std::u16string command;
  bool operator==(const CustomAction&) const = default;
};

inline constexpr size_t kMaxCustomActions = 24;
// Longest name or command line kept: the settings reader returns at most 254 characters and
// a value the writer must wrap in quotes takes two more.
inline constexpr size_t kMaxCustomActionText = 252;

// The three actions a settings file starts with.
const std::vector<CustomAction>& DefaultCustomActions();

// Items 1..Count of `CustomAction` (an item without a name is skipped), at most 24.
std::vector<CustomAction> ReadCustomActions(const SettingsFile& file);
// `Count` and the names and command lines numbered from 1, through the text primitive (the
// section is not cleared: items above the new Count stay unread). False when a write failed.
bool WriteCustomActions(const SettingsFile& file, const std::vector<CustomAction>& actions);
// Writes the default actions and `Count` 3 when `Count` is absent; true when it wrote them.
bool EnsureDefaultCustomActions(const SettingsFile& file);

// The configuration text: one "name=command line" line per action, joined by CR LF.
std::u16string CustomActionsText(const std::vector<CustomAction>& actions);

enum class CustomActionsError {
  kNone,
  kBadLine,  // a line without "=", or with "=" first or last: `line` holds it
  kTooMany,  // more than 24 actions
  kTooLong,  // a name or command line over kMaxCustomActionText: `line` holds it
};

struct ParsedCustomActions {
  std::vector<CustomAction> actions;
  CustomActionsError error = CustomActionsError::kNone;
  std::u16string line;
};

// Splits the configuration text at line feeds (carriage returns removed); blank lines are
// skipped; each other line is trimmed and split at its first "=", name and command line
// trimmed again.
ParsedCustomActions ParseCustomActionsText(std::u16string_view text);

// Whether the action needs a selected item: its command line holds "%" after the
// environment variables were expanded.
bool NeedsSelection(std::u16string_view expanded_command);

// The folder of a path: up to its last backslash, the backslash not included ("C:" for a
// file at the root of drive C); empty when the path has no backslash.
std::u16string FolderOfPath(std::u16string_view path);

// The command line to start for a stored command line and the selected item's full path
// (empty when nothing is selected). "[" and "]" are removed from the stored text first, then
// `expand` replaces environment variables, then each "%~dp1" becomes the item's folder and
// each "%1" the item's path, in one pass, so nothing inside the path itself (brackets, "%",
// a name like "%1") is touched. Quoting is the command line's own.
std::u16string CustomActionCommandLine(std::u16string_view stored,
                                       const std::function<std::u16string(std::u16string_view)>& expand,
                                       std::u16string_view path);

// The program a command line starts: the text inside its leading double quotes, or its first
// blank-separated word (used for the menu's program icons).
std::u16string CommandProgram(std::u16string_view command);

}  // namespace nusk
