#include "gui/accelerators.h"

#include <algorithm>

#include "gui/resource.h"
#include "platform/win32/win_text.h"

namespace nusk {

namespace {

struct NameId {
  std::u16string_view name;
  int id;
};

constexpr NameId kIds[] = {
    {u"File.OpenPath", IDM_FILE_OPEN_PATH},
    {u"File.Open", IDM_FILE_OPEN},
    {u"File.Properties", IDM_FILE_PROPERTIES},
    {u"File.MoreActions", IDM_FILE_MORE_ACTIONS},
    {u"File.Export", IDM_FILE_EXPORT},
    {u"File.Close", IDM_FILE_CLOSE},
    {u"Edit.Copy", IDM_EDIT_COPY},
    {u"Edit.CopyName", IDM_EDIT_COPY_NAME},
    {u"Edit.CopyFullName", IDM_EDIT_COPY_FULL_NAME},
    {u"Edit.TextSize.Increase", IDM_EDIT_ZOOM_IN},
    {u"Edit.TextSize.Decrease", IDM_EDIT_ZOOM_OUT},
    {u"Edit.TextSize.Reset", IDM_EDIT_ZOOM_RESET},
    {u"Edit.SelectAll", IDM_EDIT_SELECT_ALL},
    {u"Edit.SelectNone", IDM_EDIT_SELECT_NONE},
    {u"Edit.InvertSelection", IDM_EDIT_INVERT_SELECTION},
    {u"Edit.HideSelectedItems", IDM_EDIT_HIDE_SELECTED},
    {u"Edit.GotoRow", IDM_EDIT_GOTO_ROW},
    {u"Database.BuildAll", IDM_DATABASE_BUILD_ALL},
    {u"Database.RebuildAll", IDM_DATABASE_REBUILD_ALL},
    {u"Database.Load.DefaultLocation", IDM_DATABASE_LOAD_DEFAULT},
    {u"Database.Load.Browse", IDM_DATABASE_LOAD_BROWSE},
    {u"Database.Reload", IDM_DATABASE_RELOAD},
    {u"Database.DbLocations", IDM_DATABASE_DB_LOCATIONS},
    {u"Database.CleanAll", IDM_DATABASE_CLEAN_ALL},
    {u"Database.ReloadHashInfo", IDM_DATABASE_RELOAD_HASH_INFO},
    {u"Database.ShowIgnoredFolders", IDM_DATABASE_SHOW_IGNORED},
    {u"Search.NewSearch", IDM_SEARCH_NEW},
    {u"Search.RecentSearches", IDM_SEARCH_RECENT_SEARCHES},
    {u"Search.RecentLocations", IDM_SEARCH_RECENT_LOCATIONS},
    {u"Search.NamedSearches", IDM_SEARCH_NAMED_SEARCHES},
    {u"Search.QueryComposer", IDM_SEARCH_QUERY_COMPOSER},
    {u"Search.GoBack", IDM_SEARCH_BACK},
    {u"Search.GoForward", IDM_SEARCH_FORWARD},
    {u"Search.GoUp", IDM_SEARCH_UP},
    {u"View.Toolbar", IDM_VIEW_TOOLBAR},
    {u"View.Statusbar", IDM_VIEW_STATUSBAR},
    {u"View.FolderTree", IDM_VIEW_FOLDER_TREE},
    {u"View.NavigationButtons", IDM_VIEW_NAV_BUTTONS},
    {u"View.Thumbnails", IDM_VIEW_THUMBNAILS},
    {u"View.AlternatRowGroupColors", IDM_VIEW_ALT_ROW_COLORS},
    {u"Tools.Options", IDM_TOOLS_OPTIONS},
    {u"Tools.KeyboardShortcuts", IDM_TOOLS_KEYBOARD_SHORTCUTS},
    {u"Tools.OpenDbLocation", IDM_TOOLS_OPEN_DB_LOCATION},
    {u"Tools.WebServer", IDM_TOOLS_WEB_SERVER},
    {u"Tools.PreviewWindow", IDM_TOOLS_PREVIEW_WINDOW},
    {u"Tools.ComputeContentHashes", IDM_TOOLS_COMPUTE_HASHES},
    {u"Help.HelpTopics", IDM_HELP_TOPICS},
    {u"Help.CheckForUpdates", IDM_HELP_CHECK_UPDATES},
    {u"Help.About", IDM_HELP_ABOUT},
    {u"Other.FocusTheSearchBox", IDM_OTHER_FOCUS_SEARCH_BOX},
    {u"MoreActions.Action1", IDM_CUSTOM_ACTION_FIRST + 0},
    {u"MoreActions.Action2", IDM_CUSTOM_ACTION_FIRST + 1},
    {u"MoreActions.Action3", IDM_CUSTOM_ACTION_FIRST + 2},
    {u"MoreActions.Action4", IDM_CUSTOM_ACTION_FIRST + 3},
    {u"MoreActions.Action5", IDM_CUSTOM_ACTION_FIRST + 4},
    {u"MoreActions.Action6", IDM_CUSTOM_ACTION_FIRST + 5},
    {u"MoreActions.Action7", IDM_CUSTOM_ACTION_FIRST + 6},
    {u"MoreActions.Action8", IDM_CUSTOM_ACTION_FIRST + 7},
    {u"MoreActions.Action9", IDM_CUSTOM_ACTION_FIRST + 8},
};

void ShowIn(HMENU menu, std::span<const Shortcut> table) {
  const int n = GetMenuItemCount(menu);
  for (int i = 0; i < n; ++i) {
    if (HMENU sub = GetSubMenu(menu, i)) {
      ShowIn(sub, table);
      continue;
    }
    const int id = static_cast<int>(GetMenuItemID(menu, i));
    // A named command shows its shortcut or none (a translated text may carry another);
    // Hide Selected Items shows the list's Delete key. Other items keep their text.
    std::u16string keys = ShortcutTextOf(table, id);
    if (keys.empty() && id == IDM_EDIT_HIDE_SELECTED) keys = ShortcutText(kAccelVirtKey, VK_DELETE, SystemKeyName);
    if (keys.empty() && CommandNameOf(id).empty()) continue;
    wchar_t buf[256] = {};
    if (GetMenuStringW(menu, i, buf, 255, MF_BYPOSITION) <= 0) continue;
    std::wstring text = buf;
    text = text.substr(0, text.find(L'\t'));
    if (!keys.empty()) text += L"\t" + W(keys);
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof(mii);
    mii.fMask = MIIM_STRING;
    mii.dwTypeData = text.data();
    SetMenuItemInfoW(menu, i, TRUE, &mii);
  }
}

}  // namespace

int CommandIdOf(std::u16string_view name) {
  for (const NameId& n : kIds)
    if (n.name == name) return n.id;
  return 0;
}

std::u16string_view CommandNameOf(int id) {
  for (const NameId& n : kIds)
    if (n.id == id) return n.name;
  return {};
}

std::vector<Shortcut> BuiltinShortcuts() {
  std::vector<Shortcut> entries;
  HACCEL builtin = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDA_MAIN));
  if (!builtin) return entries;
  const int n = CopyAcceleratorTableW(builtin, nullptr, 0);
  std::vector<ACCEL> accel(static_cast<size_t>(std::max(n, 0)));
  if (n > 0) CopyAcceleratorTableW(builtin, accel.data(), n);
  for (const ACCEL& a : accel) entries.push_back(Shortcut{a.cmd, a.fVirt, a.key});
  return PrepareBuiltinShortcuts(entries);
}

HACCEL BuildAccelerators(const SettingsFile& file, std::vector<Shortcut>* table) {
  *table = ReadUserShortcuts(file, BuiltinShortcuts());
  if (table->empty()) return nullptr;
  std::vector<ACCEL> accel;
  for (const Shortcut& s : *table) accel.push_back(ACCEL{s.flags, s.key, static_cast<WORD>(s.command)});
  return CreateAcceleratorTableW(accel.data(), static_cast<int>(accel.size()));
}

std::u16string SystemKeyName(uint16_t key, bool extended) {
  const UINT scan = MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
  const LONG lparam = static_cast<LONG>((scan << 16) | (extended ? (1u << 24) : 0u));
  wchar_t name[64] = {};
  if (GetKeyNameTextW(lparam, name, 63) <= 0) return {};
  return U(name);
}

std::u16string ShortcutTextOf(std::span<const Shortcut> table, int command) {
  for (const Shortcut& s : table)
    if (s.command == command) return ShortcutText(s.flags, s.key, SystemKeyName);
  return {};
}

void ShowShortcutsInMenu(HMENU menu, std::span<const Shortcut> table) {
  if (menu) ShowIn(menu, table);
}

}  // namespace nusk
