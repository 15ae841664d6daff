#include "gui/win_menu_text.h"

#include <iterator>

#include "gui/resource.h"
#include "gui/text_config_dialog.h"
#include "l10n/mui.h"
#include "platform/win32/win_text.h"

namespace nusk {

namespace {

struct IdKey {
  UINT id;
  std::u16string_view key;
};

// The main menu's commands and the language key of each.
constexpr IdKey kCommandKeys[] = {
    {IDM_FILE_OPEN_PATH, u"file.open_path"},
    {IDM_FILE_OPEN, u"file.open"},
    {IDM_FILE_EXPORT, u"file.export"},
    {IDM_FILE_CLOSE, u"file.close"},
    {IDM_FILE_EXIT, u"file.exit"},
    {IDM_EDIT_COPY, u"edit.copy"},
    {IDM_EDIT_COPY_NAME, u"edit.copy_name"},
    {IDM_EDIT_COPY_FULL_NAME, u"edit.copy_full_name"},
    {IDM_EDIT_ZOOM_IN, u"edit.text_size.increase"},
    {IDM_EDIT_ZOOM_OUT, u"edit.text_size.decrease"},
    {IDM_EDIT_ZOOM_RESET, u"edit.text_size.reset"},
    {IDM_EDIT_SELECT_ALL, u"edit.select_all"},
    {IDM_EDIT_SELECT_NONE, u"edit.select_none"},
    {IDM_EDIT_INVERT_SELECTION, u"edit.invert_selection"},
    {IDM_EDIT_GOTO_ROW, u"edit.goto_row"},
    {IDM_EDIT_HIDE_SELECTED, u"edit.hide_selected_items"},
    {IDM_SEARCH_NEW, u"search.new_search"},
    {IDM_SEARCH_BACK, u"search.go_back"},
    {IDM_SEARCH_FORWARD, u"search.go_forward"},
    {IDM_SEARCH_UP, u"search.go_up"},
    {IDM_VIEW_STATUSBAR, u"view.statusbar"},
    {IDM_HELP_ABOUT, u"help.about"},
    {IDM_SEARCH_QUERY_COMPOSER, u"search.query_composer"},
    {IDM_VIEW_FOLDER_TREE, u"view.folder_tree"},
    {IDM_DATABASE_BUILD_ALL, u"database.build_all"},
    {IDM_DATABASE_STATISTICS, u"database.show_statistics"},
    {IDM_TOOLS_WEB_SERVER, u"tools.web_server"},
    {IDM_TOOLS_PREVIEW_WINDOW, u"tools.preview_window"},
    {IDM_HELP_TIP_OF_THE_DAY, u"help.tip_of_the_day"},
    {IDM_HELP_CHECK_UPDATES, u"help.check_for_updates"},
    {IDM_FILE_PROPERTIES, u"file.properties"},
    {IDM_TOOLS_KEYBOARD_SHORTCUTS, u"tools.keyboard_shortcuts"},
    {IDM_FILE_MORE_ACTIONS_CONFIG, u"file.more_actions.config"},
    {IDM_DATABASE_REBUILD_ALL, u"database.rebuild_all"},
    {IDM_DATABASE_RELOAD, u"database.reload"},
    {IDM_DATABASE_LOAD_DEFAULT, u"database.load.default"},
    {IDM_DATABASE_LOAD_BROWSE, u"database.load.browse"},
    {IDM_NAMED_SEARCHES_EMPTY, u"search.named_searches.empty"},
    {IDM_NAMED_SEARCHES_CONFIG, u"search.named_searches.config"},
    {IDM_RECENT_LOCATIONS_CLEAR, u"search.recent_locations.clear"},
    {IDM_VIEW_TOOLBAR, u"view.toolbar"},
    {IDM_VIEW_NAV_BUTTONS, u"view.navigation_buttons"},
    {IDM_TOOLS_OPTIONS, u"tools.options"},
    {IDM_TOOLS_OPEN_DB_LOCATION, u"tools.open_db_location"},
    {IDM_HELP_TOPICS, u"help.help"},
    {IDM_DATABASE_CLEAN_ALL, u"database.clean.all"},
    {IDM_DATABASE_SHOW_IGNORED, u"database.show_ignored_folders"},
    {IDM_DATABASE_RELOAD_HASH_INFO, u"database.reload_hash_info"},
    {IDM_TOOLS_COMPUTE_HASHES, u"tools.compute_content_hashes"},
};

// Each popup is named by the command of its first item.
constexpr IdKey kPopupKeys[] = {
    {IDM_FILE_OPEN_PATH, u"file"},
    {IDM_EDIT_COPY, u"edit"},
    {IDM_EDIT_ZOOM_IN, u"edit.text_size"},
    {IDM_SEARCH_NEW, u"search"},
    {IDM_VIEW_TOOLBAR, u"view"},
    {IDM_HELP_TOPICS, u"help"},
    {IDM_DATABASE_LOAD_DEFAULT, u"database.load"},
    {IDM_RECENT_LOCATION_FIRST, u"search.recent_locations"},
    {IDM_NAMED_SEARCHES_EMPTY, u"search.named_searches"},
    {IDM_DATABASE_BUILD_ALL, u"database"},
    {IDM_BUILD_DRIVE_FIRST, u"database.build"},
    {IDM_DATABASE_CLEAN_ALL, u"database.clean"},
    {IDM_MORE_ACTIONS_EMPTY, u"file.more_actions"},
    {IDM_TOOLS_OPTIONS, u"tools"},
};

std::u16string_view KeyOf(const IdKey* begin, const IdKey* end, UINT id) {
  for (const IdKey* k = begin; k != end; ++k)
    if (k->id == id) return k->key;
  return {};
}

UINT FirstCommand(HMENU menu) {
  const int n = GetMenuItemCount(menu);
  for (int i = 0; i < n; ++i) {
    HMENU sub = GetSubMenu(menu, i);
    const UINT id = sub ? FirstCommand(sub) : GetMenuItemID(menu, i);
    if (id != 0 && id != static_cast<UINT>(-1)) return id;
  }
  return 0;
}

std::wstring ItemText(HMENU menu, int pos) {
  wchar_t buf[256] = {};
  GetMenuStringW(menu, pos, buf, 255, MF_BYPOSITION);
  return buf;
}

void SetItemText(HMENU menu, int pos, const std::wstring& text) {
  MENUITEMINFOW mii{};
  mii.cbSize = sizeof(mii);
  mii.fMask = MIIM_STRING;
  mii.dwTypeData = const_cast<wchar_t*>(text.c_str());
  SetMenuItemInfoW(menu, pos, TRUE, &mii);
}

void TranslateItems(CMUI* ui, HMENU menu) {
  const int n = GetMenuItemCount(menu);
  for (int i = 0; i < n; ++i) {
    const std::wstring old = ItemText(menu, i);
    if (old.empty()) continue;  // separator
    HMENU sub = GetSubMenu(menu, i);
    std::u16string_view key;
    if (sub) {
      key = KeyOf(std::begin(kPopupKeys), std::end(kPopupKeys), FirstCommand(sub));
      TranslateItems(ui, sub);
      if (!key.empty()) SetItemText(menu, i, W(ui->PopupTitle(key, U(old))));
      continue;
    }
    key = KeyOf(std::begin(kCommandKeys), std::end(kCommandKeys), GetMenuItemID(menu, i));
    if (key.empty()) continue;
    const size_t tab = old.find(L'\t');
    const std::wstring english = old.substr(0, tab);
    std::wstring text = W(ui->MenuText(key, U(english)));
    if (tab != std::wstring::npos && text.find(L'\t') == std::wstring::npos) text += old.substr(tab);
    SetItemText(menu, i, text);
  }
}

}  // namespace

void TranslateMainMenu(HMENU menu) {
  CMUI* ui = CurrentUI();
  if (ui && menu) TranslateItems(ui, menu);
}

std::wstring MenuText(std::u16string_view key, std::u16string_view english) {
  CMUI* ui = CurrentUI();
  return W(ui ? ui->MenuText(key, english) : std::u16string(english));
}

void TranslateDialogButtons(HWND dlg) {
  CMUI* ui = CurrentUI();
  if (!ui) return;
  SetDlgItemTextW(dlg, IDOK, W(ui->DialogText(u"button.ok", u"OK")).c_str());
  SetDlgItemTextW(dlg, IDCANCEL, W(ui->DialogText(u"button.cancel", u"Cancel")).c_str());
}

bool AskGotoRow(HWND owner, std::u16string* text) {
  std::u16string typed;
  const TextConfigDialog dialog{IDD_GOTO_ROW,
                                IDC_GOTO_EDIT,
                                {0, u"dialog.goto_row", u"Go to Row"},
                                {IDC_GOTO_LABEL, u"label.enter_row_number", u"Enter row number:"},
                                true,
                                *text,
                                [&typed](std::u16string_view value) {
                                  typed = value;
                                  return TextConfigVerdict{};
                                }};
  if (!RunTextConfigDialog(owner, dialog)) return false;
  *text = typed;
  return true;
}

}  // namespace nusk
