// The main window's toolbar and the commands around it: showing, sizing and customising
// the toolbar, the navigation buttons, the menus filled when they open (database
// locations, recent locations, named searches), rebuilding and reloading the database,
// loading it from another location, opening its folder, and the help text.
#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include "app/console_clean.h"
#include "app/home.h"
#include "gui/instance.h"
#include "gui/main_window.h"
#include "gui/resource.h"
#include "gui/win_menu_text.h"
#include "l10n/mui.h"
#include "l10n/ui_keys.h"
#include "platform/env.h"
#include "platform/profile.h"
#include "platform/win32/win_text.h"
#include "search/named_searches.h"
#include "settings/recent_list.h"
#include "settings/setting_keys.h"
#include "ui/build_schedule.h"
#include "ui/custom_actions.h"
#include "ui/query_composer.h"
#include "ui/toolbar_layout.h"

namespace nusk {

namespace {

constexpr size_t kMaxNamedInMenu = IDM_NAMED_SEARCH_LAST - IDM_NAMED_SEARCH_FIRST + 1;

void Check(HWND hwnd, UINT id, bool on) { CheckMenuItem(GetMenu(hwnd), id, on ? MF_CHECKED : MF_UNCHECKED); }

void Clear(HMENU popup) {
  while (GetMenuItemCount(popup) > 0) DeleteMenu(popup, 0, MF_BYPOSITION);
}

void AddEmpty(HMENU popup, UINT id, std::u16string_view key) {
  AppendMenuW(popup, MF_STRING | MF_GRAYED, id, MenuText(key, Tr(u"Menu.Empty", u"(Empty)")).c_str());
}

// A menu entry that shows a path or a name as it is ("&" is not an accelerator there).
std::wstring Plain(std::u16string_view text) {
  std::wstring out;
  for (char16_t c : text) {
    if (c == u'&') out += L'&';
    out += static_cast<wchar_t>(c);
  }
  return out;
}

std::u16string WithSeparator(std::u16string folder) {
  if (!folder.empty() && folder.back() != u'\\' && folder.back() != u'/') folder += u'\\';
  return folder;
}

std::u16string BrowseForFolder(HWND owner) {
  const std::wstring title = W(Tr(u"TITLE.BrowseForDbLocation", u"Browse for DB location..."));
  BROWSEINFOW bi{};
  bi.hwndOwner = owner;
  bi.lpszTitle = title.c_str();
  bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  PIDLIST_ABSOLUTE pidl = SHBrowseForFolderW(&bi);
  if (!pidl) return {};
  wchar_t path[MAX_PATH] = {};
  const bool ok = SHGetPathFromIDListW(pidl, path);
  CoTaskMemFree(pidl);
  return ok ? U(path) : std::u16string();
}

constexpr char16_t kHelpText[] =
    u"Type a part of a name to find every file and folder whose name contains it.\n\n"
    u"Words separated by spaces must all match (AND); words joined by \"|\" need only one "
    u"to match (OR), and OR binds tighter than AND.\n"
    u"\"*\" matches any run of characters, \"?\" one character: Exp*  *.exe|*.dll\n"
    u"A folder narrows the search: c:\\program files\\ *.txt\n"
    u"<a b>|c groups terms, !word leaves names with that word out.\n"
    u"@Name inserts a named search (Search > Named Searches), /sort: orders the results.\n\n"
    u"F7 builds the database, F6 reloads it, Ctrl+D chooses its location.";

}  // namespace

HMENU FindPopupStartingWith(HMENU menu, UINT first_id) {
  const int n = GetMenuItemCount(menu);
  for (int i = 0; i < n; ++i) {
    HMENU sub = GetSubMenu(menu, i);
    if (!sub) continue;
    if (GetMenuItemCount(sub) > 0 && GetMenuItemID(sub, 0) == first_id) return sub;
    if (HMENU deeper = FindPopupStartingWith(sub, first_id)) return deeper;
  }
  return nullptr;
}

void MainWindow::CreateToolbar() {
  HMENU menu = GetMenu(hwnd_);
  db_load_menu_ = FindPopupStartingWith(menu, IDM_DATABASE_LOAD_DEFAULT);
  recent_locations_menu_ = FindPopupStartingWith(menu, IDM_RECENT_LOCATION_FIRST);
  named_menu_ = FindPopupStartingWith(menu, IDM_NAMED_SEARCHES_EMPTY);
  clean_menu_ = FindPopupStartingWith(menu, IDM_DATABASE_CLEAN_ALL);
  const bool shown = GetFlag(settings_, SettingId::kToolbar);
  const std::optional<std::vector<ToolbarSlot>> saved =
      DecodeToolbar(GetText(settings_, SettingId::kToolbarState), GetText(settings_, SettingId::kCustomCommandNames),
                    settings_.HasKey(u"UIState", u"ToolbarState"));
  toolbar_.drop_down = [this](int command, POINT at) { OnToolbarDropDown(command, at); };
  toolbar_.changed = [this] {
    SaveToolbar();
    Layout();
  };
  toolbar_.ShowNavButtons(options_.nav_buttons);
  toolbar_.Create(hwnd_, shown, GetFlag(settings_, SettingId::kBigToolbar), saved ? *saved : DefaultToolbarSlots(),
                  ReadCustomActions(settings_));
  Check(hwnd_, IDM_VIEW_TOOLBAR, shown);
  Check(hwnd_, IDM_VIEW_NAV_BUTTONS, options_.nav_buttons);
  UpdateNavButtons();
}

void MainWindow::SaveToolbar() {
  if (!toolbar_.toolbar()) return;
  const SavedToolbar saved = EncodeToolbar(toolbar_.Slots());
  SetText(settings_, SettingId::kToolbarState, saved.state);
  SetText(settings_, SettingId::kCustomCommandNames, saved.custom_names);
}

void MainWindow::UpdateNavButtons() {
  toolbar_.Enable(IDM_SEARCH_BACK, history_.CanBack());
  toolbar_.Enable(IDM_SEARCH_FORWARD, history_.CanForward());
  toolbar_.Enable(IDM_SEARCH_UP, source_ && !source_->scope_folder().empty());
}

void MainWindow::ShowToolbarMenu(POINT screen) {
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, IDM_TOOLBAR_CUSTOMIZE, MenuText(u"toolbar.customize", u"&Customize...").c_str());
  AppendMenuW(menu, MF_STRING | (toolbar_.big() ? MF_CHECKED : 0), IDM_TOOLBAR_LARGE,
              MenuText(u"toolbar.large_buttons", u"&Large Buttons").c_str());
  if (screen.x == -1 && screen.y == -1) {
    RECT rc;
    GetWindowRect(toolbar_.rebar(), &rc);
    screen = {rc.left, rc.bottom};
  }
  const int id =
      TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, screen.x, screen.y, hwnd_, nullptr);
  DestroyMenu(menu);
  if (id > 0) Command(id);
}

int MainWindow::TrackMenuAt(HMENU popup, POINT* at) {
  POINT p{0, 0};
  if (at) {
    p = *at;
  } else {
    ClientToScreen(list_.hwnd(), &p);  // the result list's top-left corner
  }
  return TrackPopupMenuEx(popup, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, p.x, p.y, hwnd_, nullptr);
}

void MainWindow::OnToolbarDropDown(int command, POINT at) {
  HMENU popup = CreatePopupMenu();
  switch (command) {
    case IDM_SEARCH_RECENT_SEARCHES:
      DestroyMenu(popup);
      box_.ShowRecent();
      return;
    case IDM_SEARCH_NAMED_SEARCHES: FillNamedSearches(popup); break;
    case IDM_FILE_MORE_ACTIONS: FillMoreActions(popup); break;
    case IDM_DATABASE_BUILD_ALL:  // the arrow beside Build All and the Build button: Database > Build
    case IDM_DATABASE_BUILD_MENU: FillBuildDriveMenu(popup, config_.settings_path, IDM_BUILD_DRIVE_FIRST); break;
    case IDM_DATABASE_CLEAN_MENU: FillCleanMenu(popup); break;  // as Database > Clean
    default: DestroyMenu(popup); return;
  }
  const int id = TrackMenuAt(popup, &at);
  DestroyMenu(popup);
  if (id > 0) Command(id);
}

void MainWindow::FillDbLocations(HMENU popup) {
  Clear(popup);
  AppendMenuW(popup, MF_STRING, IDM_DATABASE_LOAD_DEFAULT,
              MenuText(u"database.load.default", u"&Default Location").c_str());
  AppendMenuW(popup, MF_STRING, IDM_DATABASE_LOAD_BROWSE, MenuText(u"database.load.browse", u"&Browse...").c_str());
  AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
  RecentList recent(kRecentDbLocations);
  recent.Load(settings_);
  if (recent.entries().empty()) {
    AppendMenuW(popup, MF_STRING | MF_GRAYED, IDM_DB_LOCATION_EMPTY, W(Tr(u"Menu.Empty", u"(Empty)")).c_str());
    return;
  }
  for (size_t i = 0; i < recent.entries().size(); ++i) {
    const bool current = recent.entries()[i] == config_.home;
    AppendMenuW(popup, MF_STRING | (current ? MF_CHECKED : 0), IDM_DB_LOCATION_FIRST + static_cast<UINT>(i),
                Plain(recent.entries()[i]).c_str());
  }
}

void MainWindow::FillRecentLocations(HMENU popup) {
  Clear(popup);
  RecentList recent(kRecentLocations);
  recent.Load(settings_);
  if (recent.entries().empty()) {
    AppendMenuW(popup, MF_STRING | MF_GRAYED, IDM_RECENT_LOCATION_FIRST, W(Tr(u"Menu.Empty", u"(Empty)")).c_str());
    return;
  }
  for (size_t i = 0; i < recent.entries().size(); ++i)
    AppendMenuW(popup, MF_STRING, IDM_RECENT_LOCATION_FIRST + static_cast<UINT>(i), Plain(recent.entries()[i]).c_str());
  AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(popup, MF_STRING, IDM_RECENT_LOCATIONS_CLEAR,
              MenuText(u"search.recent_locations.clear", u"&Clear List").c_str());
}

void MainWindow::FillNamedSearches(HMENU popup) {
  Clear(popup);
  NamedSearches named(Profile::Default(), config_.settings_path);
  const std::vector<std::u16string> names = named.List();
  if (names.empty()) AddEmpty(popup, IDM_NAMED_SEARCHES_EMPTY, u"search.named_searches.empty");
  for (size_t i = 0; i < names.size() && i < kMaxNamedInMenu; ++i)
    AppendMenuW(popup, MF_STRING, IDM_NAMED_SEARCH_FIRST + static_cast<UINT>(i), Plain(u"@" + names[i]).c_str());
  AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(popup, MF_STRING, IDM_NAMED_SEARCHES_CONFIG,
              MenuText(u"search.named_searches.config", u"&Configure...").c_str());
}

bool MainWindow::OnInitMenu(HMENU popup) {
  if (!popup) return false;
  if (popup == db_load_menu_) FillDbLocations(popup);
  else if (popup == recent_locations_menu_) FillRecentLocations(popup);
  else if (popup == named_menu_) FillNamedSearches(popup);
  else if (popup == clean_menu_) FillCleanMenu(popup);
  else return false;
  return true;
}

void MainWindow::NoteRecentLocation(std::u16string folder) {
  if (!options_.remember_recent_locations || folder.empty()) return;
  RecentList recent(kRecentLocations);
  recent.Load(settings_);
  recent.Add(folder);
  recent.Save(settings_);
}

void MainWindow::RebuildAll() {
  if (loader_.joinable()) return;  // still loading: nothing to rebuild from yet
  if (building_ || BuildLockHeld(config_.home)) {
    MessageBoxW(hwnd_, W(BuildInProgressText()).c_str(), L"Nusk", MB_OK | MB_ICONINFORMATION);
    return;
  }
  // The database files go first, then the loader reads the empty database and the pending
  // build of every drive starts with its first result.
  ReleaseDatabase();
  CleanIo io;
  io.home = config_.home;
  io.settings_path = config_.settings_path;
  io.notify_windows = false;
  if (!CleanWholeDatabase(io)) {
    MessageBoxW(hwnd_, W(Tr(u"MSG.DB_FILES_NOT_DELETED", EnglishMessage(u"MSG.DB_FILES_NOT_DELETED"))).c_str(), L"Nusk",
                MB_OK | MB_ICONWARNING);
  }
  pending_build_ = 0;
  ++reloads_;
  SetStatus(LoadingAfterBuildText());
  StartLoader();
}

void MainWindow::LoadDbLocation(const std::u16string& folder) {
  const std::u16string target = folder.empty() ? DefaultHome(Env::Default()) : WithSeparator(folder);
  if (target.empty()) return;
  const bool saved = config_.set_home ? config_.set_home(folder.empty() ? u"" : target)
                                      : SetHomeRedirect(folder.empty() ? u"" : target);
  if (!saved) {
    MessageBoxW(hwnd_, W(u"The database location could not be saved for " + target + u".").c_str(), L"Nusk",
                MB_OK | MB_ICONWARNING);
    return;
  }
  // Both folders' lists know both locations, so the way back is in the menu after the switch.
  for (const std::u16string& file : {config_.settings_path, target + u"nusk.ini"}) {
    const SettingsFile settings(file);
    if (file != config_.settings_path && !PathExists(target)) continue;
    RecentList recent(kRecentDbLocations);
    recent.Load(settings);
    recent.Add(config_.home);
    recent.Add(target);
    recent.Save(settings);
  }
  if (target == config_.home) return;
  const std::u16string question =
      u"Nusk uses the database in " + target + u" from its next start.\nDo you want to restart now?";
  OfferRestart(question);
}

void MainWindow::OfferRestart(const std::u16string& question) {
  if (MessageBoxW(hwnd_, W(question).c_str(), L"Nusk", MB_YESNO | MB_ICONQUESTION) == IDYES && StartAgain())
    PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

bool MainWindow::MenuCommand(int id) {
  if (id >= IDM_DB_LOCATION_FIRST && id < IDM_DB_LOCATION_EMPTY) {
    RecentList recent(kRecentDbLocations);
    recent.Load(settings_);
    const size_t i = static_cast<size_t>(id - IDM_DB_LOCATION_FIRST);
    if (i < recent.entries().size()) LoadDbLocation(recent.entries()[i]);
    return true;
  }
  if (id >= IDM_RECENT_LOCATION_FIRST && id < IDM_RECENT_LOCATIONS_CLEAR) {
    RecentList recent(kRecentLocations);
    recent.Load(settings_);
    const size_t i = static_cast<size_t>(id - IDM_RECENT_LOCATION_FIRST);
    if (i >= recent.entries().size()) return true;
    const std::u16string folder = recent.entries()[i];
    recent.MoveToFront(i);
    recent.Save(settings_);
    TakeSearchText(WithSearchFolder(search_text_, folder));
    return true;
  }
  if (id >= IDM_NAMED_SEARCH_FIRST && id <= IDM_NAMED_SEARCH_LAST) {
    NamedSearches named(Profile::Default(), config_.settings_path);
    const std::vector<std::u16string> names = named.List();
    const size_t i = static_cast<size_t>(id - IDM_NAMED_SEARCH_FIRST);
    if (i >= names.size()) return true;
    std::u16string text = box_.Text();
    if (!text.empty() && text.back() != u' ') text += u' ';
    text += u"@" + names[i];
    box_.SetText(text);  // searches as typed text does
    SetFocus(box_.hwnd());
    box_.SelectAll();
    return true;
  }
  switch (id) {
    case IDM_DATABASE_REBUILD_ALL: RebuildAll(); return true;
    case IDM_DATABASE_RELOAD:
      if (!building_) ReloadDatabase();
      return true;
    case IDM_DATABASE_LOAD_DEFAULT: LoadDbLocation(u""); return true;
    case IDM_DATABASE_LOAD_BROWSE: {
      const std::u16string folder = config_.browse_folder ? config_.browse_folder() : BrowseForFolder(hwnd_);
      if (!folder.empty()) LoadDbLocation(folder);
      return true;
    }
    case IDM_DATABASE_DB_LOCATIONS: {
      HMENU popup = CreatePopupMenu();
      FillDbLocations(popup);
      const int chosen = TrackMenuAt(popup, nullptr);
      DestroyMenu(popup);
      if (chosen > 0) Command(chosen);
      return true;
    }
    case IDM_SEARCH_RECENT_LOCATIONS:
    case IDM_SEARCH_NAMED_SEARCHES: {
      HMENU popup = CreatePopupMenu();
      if (id == IDM_SEARCH_NAMED_SEARCHES) FillNamedSearches(popup);
      else FillRecentLocations(popup);
      const int chosen = TrackMenuAt(popup, nullptr);
      DestroyMenu(popup);
      if (chosen > 0) Command(chosen);
      return true;
    }
    case IDM_RECENT_LOCATIONS_CLEAR: RecentList(kRecentLocations).Save(settings_); return true;
    case IDM_NAMED_SEARCHES_EMPTY:
    case IDM_DB_LOCATION_EMPTY: return true;
    case IDM_NAMED_SEARCHES_CONFIG: ConfigureNamedSearches(hwnd_); return true;
    case IDM_VIEW_TOOLBAR: {
      const bool shown = !toolbar_.shown();
      toolbar_.Show(shown);
      SetFlag(settings_, SettingId::kToolbar, shown);
      Check(hwnd_, IDM_VIEW_TOOLBAR, shown);
      Layout();
      return true;
    }
    case IDM_VIEW_NAV_BUTTONS:
      options_.nav_buttons = !options_.nav_buttons;
      SetFlag(settings_, SettingId::kNavButtons, options_.nav_buttons);
      toolbar_.ShowNavButtons(options_.nav_buttons);
      Check(hwnd_, IDM_VIEW_NAV_BUTTONS, options_.nav_buttons);
      Layout();
      return true;
    case IDM_TOOLBAR_CUSTOMIZE:
      toolbar_.Customize();
      SaveToolbar();
      Layout();
      return true;
    case IDM_TOOLBAR_LARGE:
      toolbar_.SetBig(!toolbar_.big());
      SetFlag(settings_, SettingId::kBigToolbar, toolbar_.big());
      Layout();
      return true;
    case IDM_TOOLS_OPEN_DB_LOCATION:
      if (config_.open_folder) {
        config_.open_folder(config_.home);
      } else {
        ShellExecuteW(hwnd_, L"open", W(config_.home).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
      }
      return true;
    case IDM_HELP_TOPICS:
      MessageBoxW(hwnd_, W(Tr(u"MSG.HELP_TOPICS", kHelpText)).c_str(), W(Tr(u"TITLE.HELP", u"Nusk Help")).c_str(),
                  MB_OK | MB_ICONINFORMATION);
      return true;
  }
  return false;
}

}  // namespace nusk
