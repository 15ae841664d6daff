// The options dialog's decisions that need no window: which keys each page edits and how
// a control shows them, which controls depend on another, the periodic-build interval
// check, what is written on OK, and what the window must do afterwards (restart, search
// again, drop recent lists, ...).
#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "scan/volume_state.h"
#include "settings/setting_keys.h"
#include "settings/settings_file.h"

namespace nusk {

// Pages in tab order.
enum class OptionsPage { kGeneral, kResultList, kDatabase, kVolumes, kMisc };
inline constexpr int kOptionsPageCount = 5;
// The page's tab key in language files ("general", ...) and its English title.
std::u16string_view OptionsPageKey(OptionsPage page);
std::u16string_view OptionsPageTitle(OptionsPage page);

// How a control shows its key.
enum class OptionForm {
  kCheck,            // check box: the key as a flag
  kLargeThumbnails,  // check box: `ThumbnailSize` above 48; written as 96 or 48
  kLines,            // multi-line box: a line list (lines stored joined by ":")
  kInterval,         // edit box: `BuildEveryValue` as typed
  kUnit,             // drop-down list: `BuildEveryUnit` 0 minutes, 1 hours, 2 days
  kLanguage,         // drop-down list: `Language` and, from index 7, `LanguageFile`
};

struct OptionField {
  SettingId id;
  OptionsPage page;
  OptionForm form;
  std::u16string_view label_key;  // language-file key of its label ("checkbox.close_by_esc")
  const char16_t* english;        // its English label
  SettingId enabled_by;           // enabled only while this check box is ticked; kCount: always
  bool restart;                   // a change takes effect only after a restart
};

// Every control that edits a key, pages in tab order, controls in page order. The
// Volumes page edits `VolumeStates` through its own rows (below).
std::span<const OptionField> OptionFields();
// Index of id in OptionFields(); -1 when no control edits it.
int OptionFieldIndex(SettingId id);

// The dialog's values, one per field of OptionFields() (same index). A check box uses
// `on`; the unit and language lists `number` (the language also `text`, its file); the
// boxes `text`.
struct OptionValue {
  bool on = false;
  int64_t number = 0;
  std::u16string text;
  bool operator==(const OptionValue&) const = default;
};
using OptionValues = std::vector<OptionValue>;

struct OptionsSystem {
  bool modern_shell = true;       // Windows 6.0 or later: the explorer-style list exists
  bool ribbon_available = false;  // the ribbon framework works (this window has none)
};

// Reads every field through the key table (its defaults). A control the system cannot
// offer (the ribbon, or the explorer-style list on an old system) shows off.
OptionValues ReadOptionValues(const SettingsFile& file, const OptionsSystem& system);

// Whether the control of field id is enabled for the current values.
bool OptionEnabled(const OptionValues& values, SettingId id, const OptionsSystem& system);
// The fields whose enabled state follows the check box of `driver`.
std::vector<SettingId> DependentsOf(SettingId driver);

// The interval box's text is refused when it is not empty and its numeric value (leading
// blanks and a "+" allowed, the number at the front, as the build timer reads it) is 0:
// "abc", "0" and " " are refused, "" and "1.5" and "2h" are not.
bool IntervalRejected(std::u16string_view text);
// The `GlobalFilter` setting as query text: its stored lines (one per line of the options
// box, joined by ":" on disk) joined by spaces, empty lines left out, so that every line
// applies ("a" and "*.txt" filter as "a *.txt", not as the name "a:*.txt").
std::u16string ReadGlobalFilter(const SettingsFile& file);
// Longest global filter taken from its box.
inline constexpr size_t kGlobalFilterMaxChars = 510;

// What the window does once the dialog is closed with OK.
struct OptionsOutcome {
  bool restart = false;                // ask to restart (language, ribbon or list style changed)
  bool search_again = false;           // `ShowAllItemsForEmptySearch` or `GlobalFilter` changed
  bool folder_sizes = false;           // `ShowFolderSize` changed
  bool thumbnails = false;             // `ThumbnailSize` changed
  bool clear_recent_searches = false;  // the matching remember box was switched off
  bool clear_recent_opened = false;
  bool clear_recent_locations = false;
};
OptionsOutcome CompareOptionValues(const OptionValues& before, const OptionValues& after, const OptionsSystem& system);

// Writes the keys of the fields on `pages` (flags as 1/0, `ThumbnailSize` 96/48, line
// lists joined by ":", the global filter cut to 510 characters, the interval as typed,
// the unit and language as indices, `LanguageFile` only for a language file). A control
// the system cannot offer is not written, so its stored value stays. False when a write
// failed (the keys written before it stay written).
bool WriteOptionValues(const SettingsFile& file, const OptionValues& values, std::span<const OptionsPage> pages,
                       const OptionsSystem& system);

// ---- Volumes page ----

// One row: a drive letter and whether it is built. `local_ntfs`: a fixed NTFS drive,
// built unless its state says 0; any other drive only when its state says 1.
struct VolumeChoice {
  char16_t letter = u'C';
  bool local_ntfs = true;
  bool checked = false;
};
// The states the page starts from, read as the build reads `VolumeStates`; an empty
// setting names no drive (every drive shows its default).
VolumeStates VolumeStatesForPage(std::u16string_view value);
// Ticks the rows from the states.
void CheckVolumeRows(const VolumeStates& states, std::vector<VolumeChoice>* rows);
// The rows' states as letter-digit pairs in drive-letter order, whatever the row order.
std::u16string FormatVolumeStateText(const std::vector<VolumeChoice>& rows);
// The check-all box: 1 all ticked, 0 none (or no rows), 2 mixed (shown indeterminate).
int CheckAllState(const std::vector<VolumeChoice>& rows);

}  // namespace nusk
