#include "gui/shortcut_dialog.h"

#include <commctrl.h>

#include "gui/accelerators.h"
#include "gui/resource.h"
#include "gui/win_menu_text.h"
#include "l10n/mui.h"
#include "l10n/ui_keys.h"
#include "platform/win32/win_text.h"

namespace nusk {

namespace {

struct Editor {
  std::vector<Shortcut> table;
};

Editor* Of(HWND dlg) { return reinterpret_cast<Editor*>(GetWindowLongPtrW(dlg, DWLP_USER)); }

HWND List(HWND dlg) { return GetDlgItem(dlg, IDC_SHORTCUT_LIST); }

int SelectedRow(HWND dlg) { return ListView_GetNextItem(List(dlg), -1, LVNI_SELECTED); }

int CommandOfRow(int row) {
  const auto named = NamedCommands();
  return row >= 0 && static_cast<size_t>(row) < named.size() ? CommandIdOf(named[static_cast<size_t>(row)].name) : 0;
}

void FillShortcutColumn(HWND dlg) {
  const auto named = NamedCommands();
  for (size_t i = 0; i < named.size(); ++i) {
    std::wstring text = W(ShortcutTextOf(Of(dlg)->table, CommandIdOf(named[i].name)));
    ListView_SetItemText(List(dlg), static_cast<int>(i), 1, text.data());
  }
}

// The hot-key box shows the selected command's shortcut.
void ShowSelected(HWND dlg) {
  const int command = CommandOfRow(SelectedRow(dlg));
  WORD value = 0;
  for (const Shortcut& s : Of(dlg)->table) {
    if (s.command != command || !(s.flags & kAccelVirtKey)) continue;
    const BYTE mods =
        static_cast<BYTE>(((s.flags & kAccelShift) ? HOTKEYF_SHIFT : 0) |
                          ((s.flags & kAccelCtrl) ? HOTKEYF_CONTROL : 0) | ((s.flags & kAccelAlt) ? HOTKEYF_ALT : 0));
    value = MAKEWORD(static_cast<BYTE>(s.key), mods);
  }
  SendDlgItemMessageW(dlg, IDC_SHORTCUT_KEY, HKM_SETHOTKEY, value, 0);
}

// The hot-key box paints the system's "None" while empty; with a language table it paints
// the table's word instead (a set key is painted by the box itself).
LRESULT CALLBACK HotKeyProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR) {
  if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, HotKeyProc, id);
  if (msg != WM_PAINT || SendMessageW(hwnd, HKM_GETHOTKEY, 0, 0) != 0) return DefSubclassProc(hwnd, msg, wp, lp);
  const std::wstring none = W(Tr(u"term.None", EnglishMessage(u"term.None")));
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(IsWindowEnabled(hwnd) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
  TextOutW(dc, 2, 1, none.c_str(), static_cast<int>(none.size()));
  SIZE size{};
  GetTextExtentPoint32W(dc, none.c_str(), static_cast<int>(none.size()), &size);
  SelectObject(dc, old);
  EndPaint(hwnd, &ps);
  if (GetFocus() == hwnd) SetCaretPos(size.cx + 2, 1);
  return 0;
}

void Translate(HWND dlg) {
  CMUI* ui = CurrentUI();
  if (!ui) return;
  SetWindowTextW(dlg, W(ui->DialogText(u"dialog.keyboard_shortcuts_config", u"Keyboard Shortcuts")).c_str());
  SetDlgItemTextW(dlg, IDC_SHORTCUT_LABEL,
                  W(ui->DialogText(u"label.keyboard_shortcut", u"Keyboard shortcut:")).c_str());
  TranslateDialogButtons(dlg);
  SetDlgItemTextW(dlg, IDC_SHORTCUT_RESET, W(ui->DialogText(u"button.restore_defaults", u"Reset &All")).c_str());
  SetDlgItemTextW(dlg, IDC_SHORTCUT_ASSIGN, W(ui->DialogText(u"button.assign", u"&Assign")).c_str());
  SetDlgItemTextW(dlg, IDC_SHORTCUT_REMOVE, W(ui->DialogText(u"button.remove", u"&Remove")).c_str());
  SetWindowSubclass(GetDlgItem(dlg, IDC_SHORTCUT_KEY), HotKeyProc, 1, 0);
}

void Init(HWND dlg) {
  HWND list = List(dlg);
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
  RECT rc;
  GetClientRect(list, &rc);
  LVCOLUMNW col{};
  col.mask = LVCF_TEXT | LVCF_WIDTH;
  col.cx = (rc.right - rc.left) * 3 / 5;
  std::wstring command = W(Tr(u"COL.COMMAND", EnglishMessage(u"COL.COMMAND")));
  std::wstring shortcut = W(Tr(u"COL.SHORTCUT", EnglishMessage(u"COL.SHORTCUT")));
  col.pszText = command.data();
  ListView_InsertColumn(list, 0, &col);
  col.cx = (rc.right - rc.left) - col.cx - GetSystemMetrics(SM_CXVSCROLL);
  col.pszText = shortcut.data();
  ListView_InsertColumn(list, 1, &col);
  const auto named = NamedCommands();
  for (size_t i = 0; i < named.size(); ++i) {
    std::wstring name = W(named[i].name);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(i);
    item.pszText = name.data();
    ListView_InsertItem(list, &item);
  }
  FillShortcutColumn(dlg);
  Translate(dlg);
}

INT_PTR CALLBACK Proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dlg, DWLP_USER, lp);
      Init(dlg);
      return TRUE;
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(lp);
      if (hdr->idFrom == IDC_SHORTCUT_LIST && hdr->code == LVN_ITEMCHANGED) ShowSelected(dlg);
      break;
    }
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDC_SHORTCUT_ASSIGN:
        case IDC_SHORTCUT_REMOVE: {
          const int command = CommandOfRow(SelectedRow(dlg));
          if (!command) return TRUE;
          const WORD value = static_cast<WORD>(SendDlgItemMessageW(dlg, IDC_SHORTCUT_KEY, HKM_GETHOTKEY, 0, 0));
          const bool remove = LOWORD(wp) == IDC_SHORTCUT_REMOVE || LOBYTE(value) == 0;
          AssignShortcut(&Of(dlg)->table, command, remove ? 0 : AccelFlagsFromHotkey(HIBYTE(value)),
                         remove ? 0 : LOBYTE(value));
          FillShortcutColumn(dlg);
          ShowSelected(dlg);
          return TRUE;
        }
        case IDC_SHORTCUT_RESET:
          Of(dlg)->table = BuiltinShortcuts();
          FillShortcutColumn(dlg);
          ShowSelected(dlg);
          return TRUE;
        case IDOK: EndDialog(dlg, IDOK); return TRUE;
        case IDCANCEL: EndDialog(dlg, IDCANCEL); return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

bool EditShortcuts(HWND owner, std::vector<Shortcut>* table) {
  Editor editor{*table};
  if (DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SHORTCUTS), owner, Proc,
                      reinterpret_cast<LPARAM>(&editor)) != IDOK) {
    return false;
  }
  *table = std::move(editor.table);
  return true;
}

}  // namespace nusk
