// Tools > Options: runs the options dialog over this window's settings file and applies
// what it changed: the cached flags, recent lists, folder sizes, thumbnails, the global
// filter and the periodic build; a change that needs a restart asks for one.
#include <windows.h>
#include <versionhelpers.h>

#include "gui/instance.h"
#include "gui/list_look.h"
#include "gui/resource.h"
#include "gui/main_window.h"
#include "gui/text_config_dialog.h"
#include "l10n/mui.h"
#include "platform/profile.h"
#include "platform/win32/win_text.h"
#include "scan/volume_drives.h"
#include "settings/drive_map.h"
#include "settings/recent_list.h"
#include "settings/setting_keys.h"

namespace nusk {

bool MainWindow::ConfigureNamedSearches(HWND owner) {
  NamedSearches named(Profile::Default(), config_.settings_path);
  named.EnsureDefaults();
  const TextConfigDialog dialog{
      IDD_NAMED_SEARCHES,
      IDC_NAMED_EDIT,
      {0, u"dialog.named_searches_config", u"Named Searches"},
      {IDC_NAMED_LABEL, u"label.named_searches_hint", u"One named search per line: name=search (used as @name)"},
      false,
      named.ToText(),
      [&named](std::u16string_view text) { return ApplyNamedSearchesText(&named, text); }};
  if (!RunTextConfigDialog(owner ? owner : hwnd_, dialog)) return false;
  box_.SetNamedSearchNames(named.List());
  if (loaded_) RunSearch();  // an "@name" in the search text may mean something else now
  return true;
}

void MainWindow::ShowOptions() {
  OptionsDialogContext context;
  context.system.modern_shell = IsWindowsVistaOrGreater();
  context.system.ribbon_available = false;  // this window has no ribbon
  context.program_folder = ProgramFolder();
  context.home = config_.home;
  const std::u16string settings_path = config_.settings_path;
  context.volume_rows = [settings_path](const VolumeStates& states) {
    DriveSystem drives(DriveMap::Load(settings_path), Volumes::Default(), Env::Default());
    return drives.FillVolumeRows(states);
  };
  context.custom_actions = [this](HWND owner) { ConfigureCustomActions(owner); };
  context.shortcuts = [this](HWND owner) { ConfigureShortcuts(owner); };
  context.named_searches = [this](HWND owner) { ConfigureNamedSearches(owner); };
  if (configure_options) configure_options(&context);
  const OptionsDialogResult result = RunOptionsDialog(hwnd_, settings_, context);
  if (!result.ok) return;
  if (!result.saved) {
    MessageBoxW(hwnd_, W(u"Some options could not be saved in " + settings_.path() + u".").c_str(), L"Nusk",
                MB_OK | MB_ICONWARNING);
  }
  ApplyOptionChanges(result.outcome);
  if (result.outcome.restart && !building_) {
    const std::u16string question = Tr(u"MSG.RESTART_FOR_OPTION_CHANGES",
                                       u"An application restart is required for some option changes to take effect, "
                                       u"do you want to restart now?");
    OfferRestart(question);
  }
}

void MainWindow::ApplyOptionChanges(const OptionsOutcome& outcome) {
  const WindowOptions old = options_;
  options_ = ReadWindowOptions(settings_);
  global_filter_ = ReadGlobalFilter(settings_);
  if (outcome.clear_recent_searches) {
    RecentList(kRecentSearches).Save(settings_);
    box_.SetRecent({});
  }
  if (outcome.clear_recent_opened) RecentList(kRecentOpened).Save(settings_);
  if (outcome.clear_recent_locations) RecentList(kRecentLocations).Save(settings_);
  ApplyListLook(&list_, options_);  // thumbnails, sleeping disks
  bool search = outcome.search_again;
  if (loaded_ && view_ && (outcome.folder_sizes || old.human_readable_size != options_.human_readable_size)) {
    // Folder sizes are computed when switched on and simply no longer shown when off.
    if (outcome.folder_sizes && options_.show_folder_size) db_.ComputeFolderSizes();
    CellOptions cells = list_.cell_options();
    cells.human_sizes = options_.human_readable_size;
    cells.show_folder_size = options_.show_folder_size;
    list_.SetView(view_.get(), cells);
    source_->set_folder_sizes_shown(options_.show_folder_size);
    search = true;
  }
  if (source_) source_->set_show_all(options_.show_all_items_for_empty_search);
  ReadAutoBuildSettings();
  ReloadShortcuts();
  Layout();
  if (outcome.thumbnails) InvalidateRect(list_.hwnd(), nullptr, TRUE);
  if (loaded_ && search) RunSearch();
}

}  // namespace nusk
