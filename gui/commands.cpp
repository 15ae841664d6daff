// The main window's commands beyond the core ones of main_window.cpp: the shortcut table,
// custom actions and the "More actions" menu, item properties, focusing the search box,
// and the menu-help texts in the status bar.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <map>
#include <span>

#include "gui/accelerators.h"
#include "gui/main_window.h"
#include "gui/program_icon.h"
#include "gui/resource.h"
#include "gui/shortcut_dialog.h"
#include "gui/text_config_dialog.h"
#include "gui/win_menu_text.h"
#include "l10n/mui.h"
#include "platform/win32/win_text.h"
#include "ui/custom_actions.h"
#include "ui/menu_help.h"

namespace nusk {

namespace {

struct IdKey {
  UINT id;
  std::u16string_view key;
};

// Commands with a status-bar help text, by menu-help key.
constexpr IdKey kHelpKeys[] = {
    {IDM_FILE_EXPORT, u"file.export"},
    {IDM_FILE_CLOSE, u"file.close"},
    {IDM_EDIT_COPY, u"edit.copy"},
    {IDM_EDIT_COPY_NAME, u"edit.copy_name"},
    {IDM_EDIT_COPY_FULL_NAME, u"edit.copy_full_name"},
    {IDM_EDIT_ZOOM_IN, u"edit.text_size.increase"},
    {IDM_EDIT_ZOOM_OUT, u"edit.text_size.decrease"},
    {IDM_EDIT_ZOOM_RESET, u"edit.text_size.reset"},
    {IDM_DATABASE_BUILD_ALL, u"database.build_all"},
    {IDM_DATABASE_REBUILD_ALL, u"database.rebuild_all"},
    {IDM_SEARCH_RECENT_SEARCHES, u"search.recent"},
    {IDM_SEARCH_BACK, u"search.go_backword"},
    {IDM_SEARCH_FORWARD, u"search.go_forward"},
    {IDM_SEARCH_UP, u"search.go_up"},
    {IDM_TOOLS_OPTIONS, u"tools.options"},
    {IDM_VIEW_FOLDER_TREE, u"view.folder_tree"},
    {IDM_HELP_TOPICS, u"help.help"},
    {IDM_HELP_CHECK_UPDATES, u"help.check_for_updates"},
    {IDM_HELP_ABOUT, u"help.about"},
    {IDM_DATABASE_STATISTICS, u"database.show_statistics"},
    {IDM_HELP_TIP_OF_THE_DAY, u"help.tip_of_the_day"},
    {IDM_DATABASE_CLEAN_ALL, u"database.clean"},
    {IDM_DATABASE_SHOW_IGNORED, u"database.show_ignored_folders"},
};
// Popups with a help text, by the command of their first item.
constexpr IdKey kPopupHelpKeys[] = {{IDM_EDIT_ZOOM_IN, u"edit.text_size"}, {IDM_DATABASE_CLEAN_ALL, u"database.clean"}};

std::u16string_view KeyOf(std::span<const IdKey> keys, UINT id) {
  for (const IdKey& k : keys)
    if (k.id == id) return k.key;
  return {};
}

HMENU FindPopupWith(HMENU menu, UINT id) {
  const int n = GetMenuItemCount(menu);
  for (int i = 0; i < n; ++i) {
    HMENU sub = GetSubMenu(menu, i);
    if (!sub) continue;
    if (GetMenuState(sub, id, MF_BYCOMMAND) != static_cast<UINT>(-1) && GetMenuItemCount(sub) > 0) {
      // The popup that holds the item itself, not one of its ancestors.
      for (int j = 0; j < GetMenuItemCount(sub); ++j)
        if (GetMenuItemID(sub, j) == id) return sub;
      if (HMENU deeper = FindPopupWith(sub, id)) return deeper;
    }
  }
  return nullptr;
}

// The small icon of the program a command line starts, as a menu bitmap; null when the
// program is not found. Kept for the life of the process, one per program.
HBITMAP ProgramBitmap(std::u16string_view expanded_command) {
  static std::map<std::u16string, HBITMAP> cache;
  const std::u16string program = CommandProgram(expanded_command);
  if (auto it = cache.find(program); it != cache.end()) return it->second;
  HBITMAP bitmap = nullptr;
  if (HICON icon = ProgramIcon(expanded_command, GetSystemMetrics(SM_CXSMICON))) {
    bitmap = IconAlphaBitmap(icon);
    DestroyIcon(icon);
  }
  cache[program] = bitmap;
  return bitmap;
}

}  // namespace

void MainWindow::ReloadShortcuts() {
  if (accel_) DestroyAcceleratorTable(accel_);
  accel_ = BuildAccelerators(settings_, &shortcuts_);
  HMENU menu = GetMenu(hwnd_);
  ShowShortcutsInMenu(menu, shortcuts_);
  if (!more_actions_menu_ && menu) more_actions_menu_ = FindPopupWith(menu, IDM_MORE_ACTIONS_EMPTY);
}

void MainWindow::FillMoreActions(HMENU popup) {
  while (GetMenuItemCount(popup) > 0) DeleteMenu(popup, 0, MF_BYPOSITION);
  EnsureDefaultCustomActions(settings_);
  const std::vector<CustomAction> actions = ReadCustomActions(settings_);
  if (actions.empty()) {
    AppendMenuW(popup, MF_STRING | MF_GRAYED, IDM_MORE_ACTIONS_EMPTY, W(Tr(u"Menu.Empty", u"(Empty)")).c_str());
    return;
  }
  const bool selected = !list_.SelectedRows().empty();
  for (size_t i = 0; i < actions.size(); ++i) {
    const int id = IDM_CUSTOM_ACTION_FIRST + static_cast<int>(i);
    std::wstring text = W(actions[i].name);
    const std::u16string keys = ShortcutTextOf(shortcuts_, id);
    if (!keys.empty()) text += L"\t" + W(keys);
    const std::u16string expanded = ExpandEnvironment(actions[i].command);
    const bool grey = !selected && NeedsSelection(expanded);
    AppendMenuW(popup, MF_STRING | (grey ? MF_GRAYED : 0), id, text.c_str());
    if (HBITMAP icon = ProgramBitmap(expanded)) {
      MENUITEMINFOW mii{};
      mii.cbSize = sizeof(mii);
      mii.fMask = MIIM_BITMAP;
      mii.hbmpItem = icon;
      SetMenuItemInfoW(popup, static_cast<UINT>(id), FALSE, &mii);
    }
  }
}

void MainWindow::ShowMoreActionsMenu() {
  HMENU popup = CreatePopupMenu();
  FillMoreActions(popup);
  // At the focused row, or at the list's top-left corner.
  RECT rc{};
  const uint32_t row = list_.FocusedRow();
  POINT at{0, 0};
  if (row != UINT32_MAX && ListView_GetItemRect(list_.hwnd(), row, &rc, LVIR_LABEL)) at = {rc.left, rc.bottom};
  ClientToScreen(list_.hwnd(), &at);
  const int id = TrackPopupMenuEx(popup, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, at.x, at.y, hwnd_, nullptr);
  DestroyMenu(popup);
  if (id > 0) Command(id);
}

void MainWindow::RunCustomAction(size_t index) {
  EnsureDefaultCustomActions(settings_);
  const std::vector<CustomAction> actions = ReadCustomActions(settings_);
  if (index >= actions.size()) return;
  std::u16string path;
  if (NeedsSelection(ExpandEnvironment(actions[index].command))) {
    const std::vector<uint32_t> rows = list_.SelectedRows();
    if (rows.empty()) {
      MessageBoxW(hwnd_, W(Tr(u"MSG.NO_FILE_SELECTED", u"Please select a file first")).c_str(), L"Nusk",
                  MB_OK | MB_ICONWARNING);
      return;
    }
    path = list_.FullPath(rows.front());
  }
  std::wstring line = W(CustomActionCommandLine(actions[index].command, ExpandEnvironment, path));
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  // A new console, no wait; a command line that cannot start is left without a message.
  if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE | CREATE_UNICODE_ENVIRONMENT,
                     nullptr, nullptr, &si, &pi)) {
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
}

void MainWindow::ConfigureCustomActions(HWND owner) {
  EnsureDefaultCustomActions(settings_);
  const TextConfigDialog dialog{IDD_CUSTOM_ACTIONS,
                                IDC_ACTIONS_EDIT,
                                {0, u"dialog.custom_actions_config", u"Custom Actions"},
                                {IDC_ACTIONS_LABEL, u"label.custom_actions_hint",
                                 u"One action per line: name=command line (%1: the selected item, %~dp1: its folder)"},
                                false,
                                CustomActionsText(ReadCustomActions(settings_)),
                                [this](std::u16string_view text) { return ApplyCustomActionsText(settings_, text); }};
  if (!RunTextConfigDialog(owner ? owner : hwnd_, dialog)) return;
  // The toolbar's action buttons follow their actions by name (a removed one goes).
  toolbar_.SetSlots(toolbar_.Slots(), ReadCustomActions(settings_));
  SaveToolbar();
  Layout();
}

void MainWindow::ConfigureShortcuts(HWND owner) {
  std::vector<Shortcut> table = shortcuts_;
  if (EditShortcuts(owner, &table)) {
    if (!SaveUserShortcuts(settings_, BuiltinShortcuts(), table)) {
      MessageBoxW(owner, W(u"The keyboard shortcuts could not be saved in " + settings_.path() + u".").c_str(), L"Nusk",
                  MB_OK | MB_ICONWARNING);
    }
    ReloadShortcuts();
  }
}

void MainWindow::ShowProperties() {
  const std::vector<uint32_t> rows = list_.SelectedRows();
  if (rows.empty()) return;
  const std::wstring path = W(list_.FullPath(rows.front()));
  SHELLEXECUTEINFOW sei{};
  sei.cbSize = sizeof(sei);
  sei.fMask = SEE_MASK_INVOKEIDLIST;
  sei.hwnd = hwnd_;
  sei.lpVerb = L"properties";
  sei.lpFile = path.c_str();
  sei.nShow = SW_SHOW;
  ShellExecuteExW(&sei);
}

void MainWindow::ShowListMenu(POINT screen) {
  const bool selected = !list_.SelectedRows().empty();
  // From the keyboard (-1, -1): at the focused row, or at the list's top-left corner.
  if (screen.x == -1 && screen.y == -1) {
    RECT rc{};
    const uint32_t row = list_.FocusedRow();
    screen = {0, 0};
    if (row != UINT32_MAX && ListView_GetItemRect(list_.hwnd(), row, &rc, LVIR_LABEL)) screen = {rc.left, rc.bottom};
    ClientToScreen(list_.hwnd(), &screen);
  }
  HMENU menu = CreatePopupMenu();
  HMENU more = CreatePopupMenu();
  FillMoreActions(more);
  const UINT on = selected ? 0 : MF_GRAYED;
  auto add = [&](UINT flags, UINT id, std::u16string_view key, std::u16string_view english) {
    std::wstring text = MenuText(key, english);
    const std::u16string keys = ShortcutTextOf(shortcuts_, static_cast<int>(id));
    if (!keys.empty()) text += L"\t" + W(keys);
    AppendMenuW(menu, MF_STRING | flags, id, text.c_str());
  };
  add(on, IDM_FILE_OPEN, u"file.open", u"&Open");
  add(on, IDM_FILE_OPEN_PATH, u"file.open_path", u"Open &Path");
  AppendMenuW(menu, MF_STRING | on, IDM_LIST_LOCATE_IN_TREE,
              W(Tr(u"Action.LocateInFolderTree", u"Locate in folder tree")).c_str());
  AppendMenuW(
      menu, MF_POPUP, reinterpret_cast<UINT_PTR>(more),
      W(CurrentUI() ? CurrentUI()->PopupTitle(u"file.more_actions", u"&More Actions") : u"&More Actions").c_str());
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  add(on, IDM_EDIT_COPY, u"edit.copy", u"&Copy");
  add(on, IDM_EDIT_COPY_NAME, u"edit.copy_name", u"Copy &Name");
  add(on, IDM_EDIT_COPY_FULL_NAME, u"edit.copy_full_name", u"Copy &Full Name");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  add(on, IDM_EDIT_HIDE_SELECTED, u"edit.hide_selected_items", u"&Hide Selected Items");
  // One file: its content hash names the files with the same content.
  const std::vector<uint32_t> rows = list_.SelectedRows();
  const bool one_file = rows.size() == 1 && view_ && !view_->is_folder(list_.ItemAt(rows.front()));
  add(one_file ? 0 : MF_GRAYED, IDM_LIST_FIND_SAME_HASH, u"list.find_same_content", u"Find Files with Same &Content");
  add(on, IDM_FILE_PROPERTIES, u"file.properties", u"P&roperties");
  SetStatus(u"{PUSH}");
  const int id =
      TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, screen.x, screen.y, hwnd_, nullptr);
  SetStatus(u"{POP}");
  DestroyMenu(menu);  // the More actions popup goes with it
  if (id > 0) Command(id);
}

void MainWindow::OnMenuSelect(UINT id, UINT flags, HMENU menu) {
  if (flags == 0xFFFF && !menu) return;  // the menu closed: WM_EXITMENULOOP restores the text
  std::u16string_view key;
  if (flags & MF_POPUP) {
    HMENU sub = menu ? GetSubMenu(menu, static_cast<int>(id)) : nullptr;
    if (sub && GetMenuItemCount(sub) > 0) key = KeyOf(kPopupHelpKeys, GetMenuItemID(sub, 0));
  } else {
    key = KeyOf(kHelpKeys, id);
  }
  SetStatus(key.empty() ? std::u16string() : MenuHelpText(key));
}

bool MainWindow::MoreCommand(int id) {
  if (id >= IDM_CUSTOM_ACTION_FIRST && id < IDM_CUSTOM_ACTION_FIRST + static_cast<int>(kMaxCustomActions)) {
    RunCustomAction(static_cast<size_t>(id - IDM_CUSTOM_ACTION_FIRST));
    return true;
  }
  switch (id) {
    case IDM_OTHER_FOCUS_SEARCH_BOX:
      SetFocus(box_.hwnd());
      box_.SelectAll();
      return true;
    case IDM_FILE_MORE_ACTIONS: ShowMoreActionsMenu(); return true;
    case IDM_FILE_MORE_ACTIONS_CONFIG: ConfigureCustomActions(); return true;
    case IDM_FILE_PROPERTIES: ShowProperties(); return true;
    case IDM_LIST_LOCATE_IN_TREE:
      // The first selected row's folder (a file's own folder) in the tree, which then searches there.
      if (const std::vector<uint32_t> rows = list_.SelectedRows(); !rows.empty())
        LocateInFolderTree(list_.ItemAt(rows.front()));
      return true;
    case IDM_MORE_ACTIONS_EMPTY: return true;
    case IDM_SEARCH_RECENT_SEARCHES: box_.ShowRecent(); return true;
    case IDM_TOOLS_KEYBOARD_SHORTCUTS: ConfigureShortcuts(hwnd_); return true;
    case IDM_TOOLS_OPTIONS: ShowOptions(); return true;
  }
  return false;
}

}  // namespace nusk
