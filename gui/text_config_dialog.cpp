#include "gui/text_config_dialog.h"

#include "gui/win_menu_text.h"
#include "l10n/mui.h"
#include "platform/win32/win_text.h"

namespace nusk {

namespace {

INT_PTR CALLBACK TextConfigProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dlg, DWLP_USER, lp);
      const auto* d = reinterpret_cast<const TextConfigDialog*>(lp);
      SetDlgItemTextW(dlg, d->edit_id, W(d->text).c_str());
      if (CMUI* ui = CurrentUI()) {
        SetWindowTextW(dlg, W(ui->DialogText(d->title.key, d->title.english)).c_str());
        if (d->label.id) SetDlgItemTextW(dlg, d->label.id, W(ui->DialogText(d->label.key, d->label.english)).c_str());
      }
      TranslateDialogButtons(dlg);
      // A long text gets the caret at its end, nothing selected, so a keystroke cannot
      // replace it all; a short value starts selected.
      HWND edit = GetDlgItem(dlg, d->edit_id);
      SetFocus(edit);
      const int end = GetWindowTextLengthW(edit);
      SendMessageW(edit, EM_SETSEL, d->select_all ? 0 : end, end);
      return FALSE;
    }
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK) {
        const auto* d = reinterpret_cast<const TextConfigDialog*>(GetWindowLongPtrW(dlg, DWLP_USER));
        HWND edit = GetDlgItem(dlg, d->edit_id);
        std::wstring text(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
        text.resize(static_cast<size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
        const TextConfigVerdict verdict = d->apply(U(text));
        if (!verdict.accepted) {
          MessageBoxW(dlg, W(verdict.message).c_str(), W(verdict.title).c_str(), MB_OK | MB_ICONWARNING);
          return TRUE;
        }
        EndDialog(dlg, IDOK);
        return TRUE;
      }
      if (LOWORD(wp) == IDCANCEL) {
        EndDialog(dlg, IDCANCEL);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

bool RunTextConfigDialog(HWND owner, const TextConfigDialog& dialog) {
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(dialog.template_id), owner, TextConfigProc,
                         reinterpret_cast<LPARAM>(&dialog)) == IDOK;
}

}  // namespace nusk
