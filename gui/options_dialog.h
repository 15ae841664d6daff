// The options dialog: a property sheet with the General, Result list, Database, Volumes
// and Misc pages over the keys of ui/options_model.h. OK writes every shown page's keys
// into the settings file; the caller then applies what changed.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "scan/volume_drives.h"
#include "settings/settings_file.h"
#include "ui/options_model.h"

namespace nusk {

struct OptionsDialogContext {
  OptionsSystem system;
  std::u16string program_folder;  // where language files are looked for (ends with a separator)
  std::u16string home;            // the database location shown on the Database page
  int start_page = 0;
  // The Volumes page's rows for the given states (index 0 = A:).
  std::function<std::vector<VolumeRow>(const VolumeStates&)> volume_rows;
  // The Misc page's buttons (owner: the sheet). Unset: the button is disabled.
  std::function<void(HWND owner)> named_searches;
  std::function<void(HWND owner)> custom_actions;
  std::function<void(HWND owner)> shortcuts;
  // Tests: called with the sheet once it is shown (the dialog is modal).
  std::function<void(HWND sheet)> on_shown;
};

struct OptionsDialogResult {
  bool ok = false;    // closed with OK
  bool saved = true;  // every key could be written
  OptionsOutcome outcome;
};

OptionsDialogResult RunOptionsDialog(HWND owner, const SettingsFile& settings, const OptionsDialogContext& context);

// The control that shows a key on its page (0 when none).
int OptionControlId(SettingId id);

}  // namespace nusk
