#include "gui/options_dialog.h"

#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <array>

#include "gui/resource.h"
#include "gui/win_menu_text.h"
#include "l10n/language_files.h"
#include "l10n/mui.h"
#include "platform/env.h"
#include "platform/profile.h"
#include "platform/win32/win_text.h"

namespace nusk {

namespace {

using S = SettingId;

struct ControlOf {
  S id;
  int control;
  int label;  // a separate label (0: the control carries its own text)
};

constexpr ControlOf kControls[] = {
    {S::kLanguage, IDC_OPT_LANGUAGE, IDC_OPT_LANGUAGE_LABEL},
    {S::kCloseToTray, IDC_OPT_CLOSE_TO_TRAY, 0},
    {S::kStartMinimized, IDC_OPT_START_MINIMIZED, 0},
    {S::kNoMinimizeNotification, IDC_OPT_NO_MIN_NOTIFICATION, 0},
    {S::kCloseByEsc, IDC_OPT_CLOSE_BY_ESC, 0},
    {S::kMultiInstance, IDC_OPT_MULTI_INSTANCE, 0},
    {S::kRibbonUI, IDC_OPT_RIBBON, 0},
    {S::kShowBuiltNotification, IDC_OPT_BUILT_NOTIFICATION, 0},
    {S::kShowFolderSize, IDC_OPT_SHOW_FOLDER_SIZE, 0},
    {S::kHumanReadableSize, IDC_OPT_HUMAN_SIZE, 0},
    {S::kExplorerStyleList, IDC_OPT_EXPLORER_STYLE, 0},
    {S::kShowInfoTipOnCtrlDown, IDC_OPT_TIP_ON_CTRL, 0},
    {S::kDetailedInfoTip, IDC_OPT_DETAILED_TIP, 0},
    {S::kShowAllItemsForEmptySearch, IDC_OPT_ALL_FOR_EMPTY, 0},
    {S::kThumbnailSize, IDC_OPT_LARGE_THUMBNAILS, 0},
    {S::kAutoStretchColumns, IDC_OPT_STRETCH_COLUMNS, 0},
    {S::kAvoidWakingUpHdds, IDC_OPT_AVOID_WAKING, 0},
    {S::kGlobalFilter, IDC_OPT_GLOBAL_FILTER, IDC_OPT_GLOBAL_FILTER_LABEL},
    {S::kExcludeHidden, IDC_OPT_EXCLUDE_HIDDEN, 0},
    {S::kExcludeByName, IDC_OPT_EXCLUDE_BY_NAME, 0},
    {S::kExcludeNames, IDC_OPT_EXCLUDE_NAMES, 0},
    {S::kBuildInBackground, IDC_OPT_BUILD_IN_BACKGROUND, 0},
    {S::kBuildOnStartup, IDC_OPT_BUILD_ON_STARTUP, 0},
    {S::kAutoBuild, IDC_OPT_AUTO_BUILD, 0},
    {S::kBuildEveryValue, IDC_OPT_INTERVAL, 0},
    {S::kBuildEveryUnit, IDC_OPT_UNIT, 0},
    {S::kRememberRecentSearches, IDC_OPT_REMEMBER_SEARCHES, 0},
    {S::kRememberRecentOpened, IDC_OPT_REMEMBER_OPENED, 0},
    {S::kRememberRecentLocations, IDC_OPT_REMEMBER_LOCATIONS, 0},
};

// Texts of the pages beyond the fields' own labels.
struct ExtraText {
  int control;
  std::u16string_view key;
  const char16_t* english;
};
constexpr ExtraText kExtraTexts[] = {
    {IDC_OPT_RESTART_NOTE, u"label.restart_required", u"(restart required)"},
    {IDC_OPT_GROUP_EXCLUSION, u"groupbox.exclusion", u"Exclusion"},
    {IDC_OPT_GROUP_BUILDING, u"groupbox.building", u"Building"},
    {IDC_OPT_VOLUMES_LABEL, u"label.volumes", u"Drives to include in the database:"},
    {IDC_OPT_CHECK_ALL, u"checkbox.check_all", u"Check all"},
    {IDC_OPT_RESET_VOLUMES, u"link.reset_defaults", u"Reset defaults"},
    {IDC_OPT_GROUP_PRIVACY, u"groupbox.privacy", u"Privacy"},
    {IDC_OPT_NAMED_SEARCHES, u"button.config_named_searches", u"Named searches..."},
    {IDC_OPT_CUSTOM_ACTIONS, u"button.config_custom_actions", u"Custom actions..."},
    {IDC_OPT_SHORTCUTS, u"button.config_keyboard_shortcuts", u"Keyboard shortcuts..."},
};

constexpr UINT kMsgShown = WM_APP + 61;

std::wstring DialogString(std::u16string_view key, const char16_t* english) {
  CMUI* ui = CurrentUI();
  return W(ui ? ui->DialogText(key, english) : std::u16string(english));
}

std::wstring WindowText(HWND control) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

struct Sheet;

struct PageData {
  Sheet* sheet = nullptr;
  OptionsPage page = OptionsPage::kGeneral;
  bool created = false;
};

struct Sheet {
  const SettingsFile* settings = nullptr;
  const OptionsDialogContext* context = nullptr;
  OptionValues before;
  OptionValues values;
  std::vector<LanguageChoice> languages;
  std::array<PageData, kOptionsPageCount> pages;
  std::vector<VolumeRow> volume_rows;
  std::u16string volume_states;
  bool volumes_collected = false;
  bool applied = false;
  bool shown = false;
};

OptionValue& ValueOf(Sheet* sheet, S id) { return sheet->values[static_cast<size_t>(OptionFieldIndex(id))]; }

void UpdateEnabled(HWND dlg, PageData* pd) {
  for (const OptionField& f : OptionFields()) {
    if (f.page != pd->page) continue;
    EnableWindow(GetDlgItem(dlg, OptionControlId(f.id)),
                 OptionEnabled(pd->sheet->values, f.id, pd->sheet->context->system));
  }
}

// The check-all box follows the list: ticked, clear or indeterminate.
std::vector<VolumeChoice> VolumeChoices(HWND list, const std::vector<VolumeRow>& rows) {
  std::vector<VolumeChoice> choices;
  for (size_t i = 0; i < rows.size(); ++i) {
    choices.push_back(
        {rows[i].letter, rows[i].local && rows[i].ntfs, ListView_GetCheckState(list, static_cast<int>(i)) != FALSE});
  }
  return choices;
}

void SyncCheckAll(HWND dlg, Sheet* sheet) {
  const int state = CheckAllState(VolumeChoices(GetDlgItem(dlg, IDC_OPT_VOLUMES), sheet->volume_rows));
  SendDlgItemMessageW(dlg, IDC_OPT_CHECK_ALL, BM_SETSTYLE, state == 2 ? BS_AUTO3STATE : BS_AUTOCHECKBOX, FALSE);
  CheckDlgButton(dlg, IDC_OPT_CHECK_ALL, state == 1 ? BST_CHECKED : state == 2 ? BST_INDETERMINATE : BST_UNCHECKED);
}

void FillVolumes(HWND dlg, Sheet* sheet, const VolumeStates& states) {
  HWND list = GetDlgItem(dlg, IDC_OPT_VOLUMES);
  ListView_DeleteAllItems(list);
  sheet->volume_rows = sheet->context->volume_rows ? sheet->context->volume_rows(states) : std::vector<VolumeRow>();
  std::stable_sort(sheet->volume_rows.begin(), sheet->volume_rows.end(),
                   [](const VolumeRow& a, const VolumeRow& b) { return a.letter < b.letter; });
  for (size_t i = 0; i < sheet->volume_rows.size(); ++i) {
    const VolumeRow& row = sheet->volume_rows[i];
    std::wstring text = W(row.text);
    std::wstring size = W(row.size_text);
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(i);
    item.pszText = text.data();
    ListView_InsertItem(list, &item);
    ListView_SetItemText(list, static_cast<int>(i), 1, size.data());
    ListView_SetCheckState(list, static_cast<int>(i), row.checked);
  }
  SyncCheckAll(dlg, sheet);
}

void InitPage(HWND dlg, PageData* pd) {
  Sheet* sheet = pd->sheet;
  for (const OptionField& f : OptionFields()) {
    if (f.page != pd->page) continue;
    const int id = OptionControlId(f.id);
    const OptionValue& v = ValueOf(sheet, f.id);
    auto it =
        std::find_if(std::begin(kControls), std::end(kControls), [&](const ControlOf& c) { return c.id == f.id; });
    if (!f.label_key.empty())
      SetDlgItemTextW(dlg, it->label ? it->label : id, DialogString(f.label_key, f.english).c_str());
    switch (f.form) {
      case OptionForm::kCheck:
      case OptionForm::kLargeThumbnails: CheckDlgButton(dlg, id, v.on ? BST_CHECKED : BST_UNCHECKED); break;
      case OptionForm::kLines:
      case OptionForm::kInterval: SetDlgItemTextW(dlg, id, W(v.text).c_str()); break;
      case OptionForm::kUnit: {
        HWND combo = GetDlgItem(dlg, id);
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(Tr(u"LBL.MINUTES", u"Minutes")).c_str()));
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(Tr(u"LBL.HOURS", u"Hours")).c_str()));
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(Tr(u"LBL.DAYS", u"Days")).c_str()));
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(v.number), 0);
        break;
      }
      case OptionForm::kLanguage: {
        HWND combo = GetDlgItem(dlg, id);
        for (const LanguageChoice& c : sheet->languages) {
          SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(c.display).c_str()));
        }
        // A stored file that is no longer listed selects nothing and stays as it is.
        int index = v.number < 7 ? static_cast<int>(v.number) : FindLanguageChoice(sheet->languages, v.text);
        if (index >= static_cast<int>(sheet->languages.size())) index = -1;
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        break;
      }
    }
  }
  for (const ExtraText& t : kExtraTexts) {
    if (GetDlgItem(dlg, t.control)) SetDlgItemTextW(dlg, t.control, DialogString(t.key, t.english).c_str());
  }
  if (pd->page == OptionsPage::kDatabase) {
    SetDlgItemTextW(dlg, IDC_OPT_DB_LOCATION_LABEL, DialogString(u"label.db_location", u"Database location:").c_str());
    SetDlgItemTextW(dlg, IDC_OPT_DB_LOCATION, W(sheet->context->home).c_str());
  }
  if (pd->page == OptionsPage::kVolumes) {
    HWND list = GetDlgItem(dlg, IDC_OPT_VOLUMES);
    ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    RECT rc;
    GetClientRect(list, &rc);
    LVCOLUMNW col = {};
    col.mask = LVCF_WIDTH | LVCF_TEXT;
    std::wstring drive = W(Tr(u"COL.NAME", u"Name"));
    col.pszText = drive.data();
    col.cx = (rc.right - rc.left) * 62 / 100;
    ListView_InsertColumn(list, 0, &col);
    std::wstring size = W(Tr(u"COL.SIZE", u"Size"));
    col.pszText = size.data();
    col.cx = (rc.right - rc.left) - col.cx - GetSystemMetrics(SM_CXVSCROLL);
    ListView_InsertColumn(list, 1, &col);
    FillVolumes(dlg, sheet, VolumeStatesForPage(GetText(*sheet->settings, S::kVolumeStates)));
  }
  if (pd->page == OptionsPage::kMisc) {
    EnableWindow(GetDlgItem(dlg, IDC_OPT_NAMED_SEARCHES), sheet->context->named_searches != nullptr);
    EnableWindow(GetDlgItem(dlg, IDC_OPT_CUSTOM_ACTIONS), sheet->context->custom_actions != nullptr);
    EnableWindow(GetDlgItem(dlg, IDC_OPT_SHORTCUTS), sheet->context->shortcuts != nullptr);
  }
  UpdateEnabled(dlg, pd);
}

void CollectPage(HWND dlg, PageData* pd) {
  Sheet* sheet = pd->sheet;
  for (const OptionField& f : OptionFields()) {
    if (f.page != pd->page) continue;
    const int id = OptionControlId(f.id);
    OptionValue& v = ValueOf(sheet, f.id);
    switch (f.form) {
      case OptionForm::kCheck:
      case OptionForm::kLargeThumbnails: v.on = IsDlgButtonChecked(dlg, id) == BST_CHECKED; break;
      case OptionForm::kLines:
      case OptionForm::kInterval: v.text = U(WindowText(GetDlgItem(dlg, id))); break;
      case OptionForm::kUnit: {
        const LRESULT sel = SendDlgItemMessageW(dlg, id, CB_GETCURSEL, 0, 0);
        if (sel >= 0) v.number = sel;
        break;
      }
      case OptionForm::kLanguage: {
        const LRESULT sel = SendDlgItemMessageW(dlg, id, CB_GETCURSEL, 0, 0);
        if (sel >= 0 && static_cast<size_t>(sel) < sheet->languages.size()) {
          v.number = sel;
          v.text = sel >= 7 ? sheet->languages[static_cast<size_t>(sel)].file : std::u16string();
        }
        break;
      }
    }
  }
}

void OnCommand(HWND dlg, PageData* pd, int id, int code) {
  Sheet* sheet = pd->sheet;
  if (code == BN_CLICKED) {
    for (const ControlOf& c : kControls) {
      if (c.control == id && !DependentsOf(c.id).empty()) {
        ValueOf(sheet, c.id).on = IsDlgButtonChecked(dlg, id) == BST_CHECKED;
        UpdateEnabled(dlg, pd);
      }
    }
    switch (id) {
      case IDC_OPT_CHECK_ALL: {
        // A click on the indeterminate box ticks everything.
        const bool all = IsDlgButtonChecked(dlg, id) != BST_UNCHECKED;
        HWND list = GetDlgItem(dlg, IDC_OPT_VOLUMES);
        for (int i = 0; i < ListView_GetItemCount(list); ++i) ListView_SetCheckState(list, i, all);
        SyncCheckAll(dlg, sheet);
        break;
      }
      case IDC_OPT_RESET_VOLUMES: {
        VolumeStates none;
        none.fill(kVolumeUnlisted);
        FillVolumes(dlg, sheet, none);
        break;
      }
      case IDC_OPT_NAMED_SEARCHES:
        if (sheet->context->named_searches) sheet->context->named_searches(GetParent(dlg));
        break;
      case IDC_OPT_CUSTOM_ACTIONS:
        if (sheet->context->custom_actions) sheet->context->custom_actions(GetParent(dlg));
        break;
      case IDC_OPT_SHORTCUTS:
        if (sheet->context->shortcuts) sheet->context->shortcuts(GetParent(dlg));
        break;
    }
  }
  if (code == EN_KILLFOCUS && id == IDC_OPT_INTERVAL && IntervalRejected(U(WindowText(GetDlgItem(dlg, id))))) {
    MessageBoxW(dlg, W(Tr(u"MSG.INVALID_INTERVAL_NUMBER", u"Invalid interval value, please input a number")).c_str(),
                L"Nusk", MB_OK | MB_ICONWARNING);
  }
}

INT_PTR CALLBACK PageProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  auto* pd = reinterpret_cast<PageData*>(GetWindowLongPtrW(dlg, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG: {
      pd = reinterpret_cast<PageData*>(reinterpret_cast<PROPSHEETPAGEW*>(lp)->lParam);
      SetWindowLongPtrW(dlg, DWLP_USER, reinterpret_cast<LONG_PTR>(pd));
      pd->created = true;
      InitPage(dlg, pd);
      if (!pd->sheet->shown) {
        pd->sheet->shown = true;
        HWND sheet = GetParent(dlg);
        SetWindowTextW(sheet, DialogString(u"dialog.options", u"Options").c_str());
        TranslateDialogButtons(sheet);
        PostMessageW(dlg, kMsgShown, 0, 0);
      }
      return TRUE;
    }
    case kMsgShown:
      if (pd && pd->sheet->context->on_shown) pd->sheet->context->on_shown(GetParent(dlg));
      return TRUE;
    case WM_COMMAND:
      if (pd) OnCommand(dlg, pd, LOWORD(wp), HIWORD(wp));
      return FALSE;
    case WM_NOTIFY: {
      if (!pd) return FALSE;
      const NMHDR* hdr = reinterpret_cast<const NMHDR*>(lp);
      if (hdr->code == PSN_APPLY) {
        CollectPage(dlg, pd);
        if (pd->page == OptionsPage::kVolumes) {
          // Written with the other keys once the sheet has closed.
          pd->sheet->volume_states =
              FormatVolumeStateText(VolumeChoices(GetDlgItem(dlg, IDC_OPT_VOLUMES), pd->sheet->volume_rows));
          pd->sheet->volumes_collected = true;
        }
        pd->sheet->applied = true;
        SetWindowLongPtrW(dlg, DWLP_MSGRESULT, PSNRET_NOERROR);
        return TRUE;
      }
      if (hdr->idFrom == IDC_OPT_VOLUMES && hdr->code == LVN_ITEMCHANGED) {
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(lp);
        if (change->uChanged & LVIF_STATE) SyncCheckAll(dlg, pd->sheet);
      }
      return FALSE;
    }
  }
  return FALSE;
}

}  // namespace

int OptionControlId(SettingId id) {
  for (const ControlOf& c : kControls) {
    if (c.id == id) return c.control;
  }
  return 0;
}

OptionsDialogResult RunOptionsDialog(HWND owner, const SettingsFile& settings, const OptionsDialogContext& context) {
  // The sheet's tab strip and the volume list (the program registers them at start-up;
  // other hosts may not have).
  INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  Sheet sheet;
  sheet.settings = &settings;
  sheet.context = &context;
  sheet.before = ReadOptionValues(settings, context.system);
  sheet.values = sheet.before;
  sheet.languages = ListLanguageChoices(Env::Default(), context.program_folder, Profile::Default());

  static constexpr int kTemplates[] = {IDD_OPTIONS_GENERAL, IDD_OPTIONS_RESULT_LIST, IDD_OPTIONS_DATABASE,
                                       IDD_OPTIONS_VOLUMES, IDD_OPTIONS_MISC};
  std::array<std::wstring, kOptionsPageCount> titles;
  std::array<PROPSHEETPAGEW, kOptionsPageCount> pages = {};
  for (int i = 0; i < kOptionsPageCount; ++i) {
    const auto page = static_cast<OptionsPage>(i);
    sheet.pages[static_cast<size_t>(i)] = {&sheet, page, false};
    titles[static_cast<size_t>(i)] =
        DialogString(u"tab." + std::u16string(OptionsPageKey(page)), std::u16string(OptionsPageTitle(page)).c_str());
    PROPSHEETPAGEW& p = pages[static_cast<size_t>(i)];
    p.dwSize = sizeof(p);
    p.dwFlags = PSP_USETITLE;
    p.hInstance = GetModuleHandleW(nullptr);
    p.pszTemplate = MAKEINTRESOURCEW(kTemplates[i]);
    p.pfnDlgProc = PageProc;
    p.pszTitle = titles[static_cast<size_t>(i)].c_str();
    p.lParam = reinterpret_cast<LPARAM>(&sheet.pages[static_cast<size_t>(i)]);
  }
  PROPSHEETHEADERW header = {};
  header.dwSize = sizeof(header);
  header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_NOCONTEXTHELP;
  header.hwndParent = owner;
  header.hInstance = GetModuleHandleW(nullptr);
  header.pszCaption = L"Options";
  header.nPages = kOptionsPageCount;
  header.nStartPage = static_cast<UINT>(std::clamp(context.start_page, 0, kOptionsPageCount - 1));
  header.ppsp = pages.data();
  PropertySheetW(&header);

  OptionsDialogResult result;
  if (!sheet.applied) return result;
  result.ok = true;
  std::vector<OptionsPage> shown;
  for (const PageData& pd : sheet.pages) {
    if (pd.created) shown.push_back(pd.page);
  }
  result.saved = WriteOptionValues(settings, sheet.values, shown, context.system);
  if (sheet.volumes_collected) result.saved &= SetText(settings, S::kVolumeStates, sheet.volume_states);
  result.outcome = CompareOptionValues(sheet.before, sheet.values, context.system);
  return result;
}

}  // namespace nusk
