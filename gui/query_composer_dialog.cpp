#include "gui/query_composer_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "gui/window_thunk.h"
#include "l10n/mui.h"
#include "platform/win32/win_text.h"
#include "settings/setting_keys.h"
#include "ui/cell_text.h"

namespace nusk {

namespace {

// A dialog text of the current language table, else the English one.
std::wstring DlgText(std::u16string_view key, const char16_t* english) {
  CMUI* ui = CurrentUI();
  return W(ui ? ui->DialogText(key, english) : std::u16string(english));
}

std::u16string ControlText(HWND h) {
  const int n = GetWindowTextLengthW(h);
  std::wstring buf(static_cast<size_t>(n) + 1, L'\0');
  GetWindowTextW(h, buf.data(), n + 1);
  buf.resize(static_cast<size_t>(n));
  return U(buf);
}

std::optional<ComposerDate> PickerDate(HWND h) {
  SYSTEMTIME st{};
  if (SendMessageW(h, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)) != GDT_VALID) return std::nullopt;
  return ComposerDate{st.wYear, st.wMonth, st.wDay};
}

void SetPickerDate(HWND h, const std::optional<ComposerDate>& d) {
  if (!d) {
    SendMessageW(h, DTM_SETSYSTEMTIME, GDT_NONE, 0);
    return;
  }
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(d->year);
  st.wMonth = static_cast<WORD>(d->month);
  st.wDay = static_cast<WORD>(d->day);
  SendMessageW(h, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
}

constexpr int kMargin = 10, kRowHeight = 26, kEditHeight = 22, kGap = 8, kFieldWidth = 320;

}  // namespace

QueryComposerDialog::~QueryComposerDialog() {
  Close();
  if (font_) DeleteObject(font_);
}

void QueryComposerDialog::Show(HWND owner, const std::u16string& settings_path, std::u16string_view search_text) {
  if (is_open()) {
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd_);
    return;
  }
  owner_ = owner;
  settings_path_ = settings_path;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_DATE_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  if (!RegisterObjectWindowClass<QueryComposerDialog>(kQueryComposerClass)) return;
  const std::wstring caption = DlgText(u"dialog.query_composer", u"Query Composer");
  hwnd_ = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kQueryComposerClass, caption.c_str(),
                          WS_POPUP | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT, 400, 400, owner, nullptr,
                          instance, this);
  if (!hwnd_) return;
  CreateControls();
  filling_ = true;
  SetFields(FieldsFromQuery(search_text));
  filling_ = false;

  // The saved position when it still lies on a monitor; else beside the owner's top left.
  RECT rc;
  GetWindowRect(hwnd_, &rc);
  const SettingsFile settings(settings_path_);
  std::optional<WindowPos> pos = ParseWindowPos(GetText(settings, SettingId::kQueryComposerPos));
  if (pos && !MonitorFromPoint(POINT{pos->left + 20, pos->top + 10}, MONITOR_DEFAULTTONULL)) pos.reset();
  if (!pos) {
    RECT orc;
    GetWindowRect(owner, &orc);
    pos = WindowPos{static_cast<int>(orc.left) + 40, static_cast<int>(orc.top) + 60};
  }
  SetWindowPos(hwnd_, nullptr, pos->left, pos->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  SetFocus(GetDlgItem(hwnd_, kQcRootDir));
  SendDlgItemMessageW(hwnd_, kQcRootDir, EM_SETSEL, 0, -1);
}

void QueryComposerDialog::CreateControls() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!font_) {
    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof(ncm);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0);
    font_ = CreateFontIndirectW(&ncm.lfMessageFont);
  }
  HDC dc = GetDC(hwnd_);
  HGDIOBJ old = SelectObject(dc, font_);
  auto text_width = [&](const std::wstring& s) {
    SIZE size{};
    GetTextExtentPoint32W(dc, s.c_str(), static_cast<int>(s.size()), &size);
    return static_cast<int>(size.cx);
  };
  auto make = [&](const wchar_t* cls, const std::wstring& text, DWORD style, int id, int x, int y, int w, int h,
                  DWORD ex = 0) {
    HWND c = CreateWindowExW(ex, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y, w, h, hwnd_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return c;
  };

  struct Row {
    const char16_t* key;
    const char16_t* english;
  };
  const Row rows[] = {{u"label.root_dir", u"Root folder:"},
                      {u"label.partial_path", u"Partial path:"},
                      {u"label.search_for", u"Search for:"},
                      {u"label.file_name_begin", u"File name begins with:"},
                      {u"label.file_name_contains", u"File name contains:"},
                      {u"label.file_name_end", u"File name ends with:"},
                      {u"label.min_file_size", u"Minimum size:"},
                      {u"label.max_file_size", u"Maximum size:"},
                      {u"label.modofied_date", u"Modified date:"},
                      {u"label.drive_status", u"Drive status:"},
                      {u"label.misc_conditions", u"Further conditions:"}};
  std::vector<std::wstring> labels;
  int label_width = 0;
  for (const Row& r : rows) {
    labels.push_back(DlgText(r.key, r.english));
    label_width = std::max(label_width, text_width(labels.back()));
  }
  label_width += 6;
  const int x = kMargin + label_width + kGap;
  auto y_of = [](int row) { return kMargin + row * kRowHeight; };
  for (size_t i = 0; i < labels.size(); ++i) {
    make(WC_STATICW, labels[i], SS_LEFT, kQcFirstLabel + static_cast<int>(i), kMargin, y_of(static_cast<int>(i)) + 3,
         label_width, kEditHeight - 4);
  }
  const DWORD edit = WS_TABSTOP | ES_AUTOHSCROLL;
  make(WC_EDITW, L"", edit, kQcRootDir, x, y_of(0), kFieldWidth, kEditHeight, WS_EX_CLIENTEDGE);
  make(WC_EDITW, L"", edit, kQcPartialPath, x, y_of(1), kFieldWidth, kEditHeight, WS_EX_CLIENTEDGE);

  // A row of radio buttons, each as wide as its text.
  auto radios = [&](int row, std::initializer_list<std::pair<int, Row>> items) {
    int rx = x;
    bool first = true;
    for (const auto& [id, r] : items) {
      const std::wstring text = DlgText(r.key, r.english);
      const int w = text_width(text) + 24;
      make(WC_BUTTONW, text, BS_AUTORADIOBUTTON | (first ? WS_GROUP | WS_TABSTOP : 0), id, rx, y_of(row), w,
           kEditHeight);
      rx += w + kGap;
      first = false;
    }
  };
  radios(2, {{kQcFiles, {u"radio.files", u"Files"}},
             {kQcFolders, {u"radio.folders", u"Folders"}},
             {kQcBoth, {u"radio.both", u"Both"}}});
  make(WC_EDITW, L"", edit | WS_GROUP, kQcNameBegin, x, y_of(3), kFieldWidth, kEditHeight, WS_EX_CLIENTEDGE);
  make(WC_EDITW, L"", edit, kQcNameContains, x, y_of(4), kFieldWidth, kEditHeight, WS_EX_CLIENTEDGE);
  make(WC_EDITW, L"", edit, kQcNameEnd, x, y_of(5), kFieldWidth, kEditHeight, WS_EX_CLIENTEDGE);

  const int size_width = 100, unit_x = x + size_width + kGap;
  const std::wstring same_as_below = W(Tr(u"LBL.SameAsBelow", u"Same as below"));
  const int unit_width = std::max(110, text_width(same_as_below) + 32);
  make(WC_EDITW, L"", edit, kQcMinSize, x, y_of(6), size_width, kEditHeight, WS_EX_CLIENTEDGE);
  HWND min_unit =
      make(WC_COMBOBOXW, L"", WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL, kQcMinUnit, unit_x, y_of(6), unit_width, 200);
  const SizeUnits units = TableSizeUnits();
  for (const std::wstring& s : {same_as_below, W(units.kb), W(units.mb), W(units.gb)}) {
    SendMessageW(min_unit, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()));
  }
  make(WC_EDITW, L"", edit, kQcMaxSize, x, y_of(7), size_width, kEditHeight, WS_EX_CLIENTEDGE);
  HWND max_unit =
      make(WC_COMBOBOXW, L"", WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL, kQcMaxUnit, unit_x, y_of(7), unit_width, 200);
  for (const std::wstring& s : {W(units.bytes_name), W(units.kb), W(units.mb), W(units.gb)}) {
    SendMessageW(max_unit, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()));
  }

  const int date_width = 130;
  for (int id : {kQcFromDate, kQcToDate}) {
    const int dx = id == kQcFromDate ? x : x + date_width + 2 * kGap + 6;
    HWND picker = make(DATETIMEPICK_CLASSW, L"", WS_TABSTOP | DTS_SHOWNONE | DTS_SHORTDATEFORMAT, id, dx, y_of(8),
                       date_width, kEditHeight);
    SendMessageW(picker, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(L"yyyy-MM-dd"));
    SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_NONE, 0);
  }
  make(WC_STATICW, L"-", SS_CENTER, kQcFirstLabel + 50, x + date_width + kGap - 2, y_of(8) + 3, 12, kEditHeight - 4);

  radios(9, {{kQcOnline, {u"radio.online", u"Online"}},
             {kQcOffline, {u"radio.offline", u"Offline"}},
             {kQcUnspecified, {u"radio.unspecified", u"Unspecified"}}});
  make(WC_EDITW, L"", edit | WS_GROUP, kQcMisc, x, y_of(10), kFieldWidth, kEditHeight, WS_EX_CLIENTEDGE);

  const std::wstring close_text = DlgText(u"button.close", u"Close");
  const int button_width = std::max(80, text_width(close_text) + 24);
  const int client_width = x + kFieldWidth + kMargin;
  const int button_y = y_of(11) + 6;
  make(WC_BUTTONW, close_text, WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL, client_width - kMargin - button_width, button_y,
       button_width, 26);
  SelectObject(dc, old);
  ReleaseDC(hwnd_, dc);

  RECT rc = {0, 0, client_width, button_y + 26 + kMargin};
  AdjustWindowRectEx(&rc, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)));
  SetWindowPos(hwnd_, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void QueryComposerDialog::SetFields(const ComposerFields& f) {
  auto set = [&](int id, const std::u16string& text) { SetDlgItemTextW(hwnd_, id, W(text).c_str()); };
  set(kQcRootDir, f.root_dir);
  set(kQcPartialPath, f.partial_path);
  CheckRadioButton(hwnd_, kQcFiles, kQcBoth, f.type == 1 ? kQcFiles : f.type == 2 ? kQcFolders : kQcBoth);
  set(kQcNameBegin, f.name_begin);
  set(kQcNameContains, f.name_contains);
  set(kQcNameEnd, f.name_end);
  set(kQcMinSize, f.min_size);
  SendDlgItemMessageW(hwnd_, kQcMinUnit, CB_SETCURSEL, static_cast<WPARAM>(f.min_unit), 0);
  set(kQcMaxSize, f.max_size);
  SendDlgItemMessageW(hwnd_, kQcMaxUnit, CB_SETCURSEL, static_cast<WPARAM>(f.max_unit), 0);
  SetPickerDate(GetDlgItem(hwnd_, kQcFromDate), f.from);
  SetPickerDate(GetDlgItem(hwnd_, kQcToDate), f.to);
  CheckRadioButton(hwnd_, kQcOnline, kQcUnspecified,
                   f.drive == DriveStatus::kOnline    ? kQcOnline
                   : f.drive == DriveStatus::kOffline ? kQcOffline
                                                      : kQcUnspecified);
  set(kQcMisc, f.misc);
}

ComposerFields QueryComposerDialog::Fields() const {
  ComposerFields f;
  if (!is_open()) return f;
  auto text = [&](int id) { return ControlText(GetDlgItem(hwnd_, id)); };
  f.root_dir = text(kQcRootDir);
  f.partial_path = text(kQcPartialPath);
  f.type = IsDlgButtonChecked(hwnd_, kQcFiles) ? 1 : IsDlgButtonChecked(hwnd_, kQcFolders) ? 2 : 3;
  f.name_begin = text(kQcNameBegin);
  f.name_contains = text(kQcNameContains);
  f.name_end = text(kQcNameEnd);
  f.min_size = text(kQcMinSize);
  const LRESULT min_unit = SendDlgItemMessageW(hwnd_, kQcMinUnit, CB_GETCURSEL, 0, 0);
  f.min_unit = static_cast<MinSizeUnit>(min_unit >= 0 && min_unit <= 3 ? min_unit : 0);
  f.max_size = text(kQcMaxSize);
  const LRESULT max_unit = SendDlgItemMessageW(hwnd_, kQcMaxUnit, CB_GETCURSEL, 0, 0);
  f.max_unit = static_cast<MaxSizeUnit>(max_unit >= 0 && max_unit <= 3 ? max_unit : 2);
  f.from = PickerDate(GetDlgItem(hwnd_, kQcFromDate));
  f.to = PickerDate(GetDlgItem(hwnd_, kQcToDate));
  f.drive = IsDlgButtonChecked(hwnd_, kQcOnline)    ? DriveStatus::kOnline
            : IsDlgButtonChecked(hwnd_, kQcOffline) ? DriveStatus::kOffline
                                                    : DriveStatus::kUnspecified;
  f.misc = text(kQcMisc);
  return f;
}

void QueryComposerDialog::FieldChanged() {
  if (filling_ || !owner_) return;
  const std::wstring text = W(ComposeFieldsQuery(Fields()));
  SendMessageW(owner_, kMsgComposedQuery, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void QueryComposerDialog::SavePosition() {
  RECT rc;
  if (!is_open() || IsIconic(hwnd_) || !GetWindowRect(hwnd_, &rc)) return;
  SettingsFile settings(settings_path_);
  SetText(settings, SettingId::kQueryComposerPos, WindowPosText({static_cast<int>(rc.left), static_cast<int>(rc.top)}));
}

void QueryComposerDialog::Close() {
  if (!is_open()) return;
  SavePosition();
  HWND h = hwnd_;
  hwnd_ = nullptr;
  SetWindowLongPtrW(h, GWLP_USERDATA, 0);
  DestroyWindow(h);
}

bool QueryComposerDialog::PreTranslate(MSG* msg) {
  if (!is_open() || (msg->hwnd != hwnd_ && !IsChild(hwnd_, msg->hwnd))) return false;
  return IsDialogMessageW(hwnd_, msg) != FALSE;
}

LRESULT QueryComposerDialog::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND: {
      const int id = LOWORD(wp), code = HIWORD(wp);
      if (id == IDCANCEL) {
        Close();
        return 0;
      }
      if (code == EN_CHANGE || (code == BN_CLICKED && id >= kQcFiles && id <= kQcUnspecified) ||
          code == CBN_SELCHANGE) {
        FieldChanged();
      }
      return 0;
    }
    case WM_NOTIFY:
      if (reinterpret_cast<NMHDR*>(lp)->code == DTN_DATETIMECHANGE) FieldChanged();
      return 0;
    case WM_CLOSE: Close(); return 0;
    case WM_DESTROY:
      // Destroyed with its owner: forget the handle (the owner saved the position first).
      hwnd_ = nullptr;
      return 0;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace nusk
