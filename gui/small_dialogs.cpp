#include "gui/small_dialogs.h"

#include <shellapi.h>

#include "gui/main_window.h"
#include "gui/resource.h"
#include "l10n/mui.h"
#include "platform/win32/win_text.h"
#include "settings/setting_keys.h"
#include "ui/tips.h"
#include "ui/web_server_form.h"

namespace nusk {

namespace {

std::wstring DialogString(std::u16string_view key, const char16_t* english) {
  CMUI* ui = CurrentUI();
  return W(ui ? ui->DialogText(key, english) : std::u16string(english));
}

void SetItem(HWND dlg, int id, const std::wstring& text) { SetDlgItemTextW(dlg, id, text.c_str()); }
void SetItem(HWND dlg, int id, std::u16string_view key, const char16_t* english) {
  SetItem(dlg, id, DialogString(key, english));
}

std::u16string ItemText(HWND dlg, int id) {
  HWND h = GetDlgItem(dlg, id);
  const int n = GetWindowTextLengthW(h);
  std::wstring buf(static_cast<size_t>(n) + 1, L'\0');
  GetWindowTextW(h, buf.data(), n + 1);
  buf.resize(static_cast<size_t>(n));
  return U(buf);
}

// The object behind a dialog: passed with WM_INITDIALOG, kept in DWLP_USER.
template <class T>
T* DialogObject(HWND dlg, UINT msg, LPARAM lp) {
  if (msg == WM_INITDIALOG) SetWindowLongPtrW(dlg, DWLP_USER, lp);
  return reinterpret_cast<T*>(GetWindowLongPtrW(dlg, DWLP_USER));
}

// ---- Tip of the day ----

struct TipState {
  SettingsFile settings;
  int index = 0;
};

void ShowTip(HWND dlg, int index) { SetItem(dlg, IDC_TIP_TEXT, W(Tr(TipKey(index), EnglishTip(index)))); }

INT_PTR CALLBACK TipProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  TipState* s = DialogObject<TipState>(dlg, msg, lp);
  if (!s) return FALSE;
  switch (msg) {
    case WM_INITDIALOG:
      SetWindowTextW(dlg, DialogString(u"dialog.tip_of_the_day", u"Tip of the Day").c_str());
      SetItem(dlg, IDC_TIP_HEADING, W(Tr(u"TITLE.DidYouKnow", u"Did you know...")));
      SetItem(dlg, IDC_TIP_SHOW_ON_STARTUP, u"checkbox.show_on_startup", u"Show on startup");
      SetItem(dlg, IDC_TIP_PREVIOUS, u"button.previous_tip", u"&Previous Tip");
      SetItem(dlg, IDC_TIP_NEXT, u"button.next_tip", u"&Next Tip");
      SetItem(dlg, IDCANCEL, u"button.close", u"Close");
      CheckDlgButton(dlg, IDC_TIP_SHOW_ON_STARTUP,
                     GetInteger(s->settings, SettingId::kShowTipOnStartup) != 0 ? BST_CHECKED : BST_UNCHECKED);
      ShowTip(dlg, s->index);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDC_TIP_NEXT:
        case IDC_TIP_PREVIOUS:
          s->index = StepTip(s->index, LOWORD(wp) == IDC_TIP_NEXT ? 1 : -1);
          ShowTip(dlg, s->index);
          return TRUE;
        case IDOK:
        case IDCANCEL:
          SetInteger(s->settings, SettingId::kShowTipOnStartup,
                     IsDlgButtonChecked(dlg, IDC_TIP_SHOW_ON_STARTUP) == BST_CHECKED ? 1 : 0);
          SetInteger(s->settings, SettingId::kDefaultTodIndex, StepTip(s->index, 1));
          EndDialog(dlg, IDCANCEL);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

// ---- Statistics ----

INT_PTR CALLBACK StatisticsProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  const StatisticsTexts* f = DialogObject<const StatisticsTexts>(dlg, msg, lp);
  if (!f) return FALSE;
  switch (msg) {
    case WM_INITDIALOG:
      SetWindowTextW(dlg, DialogString(u"dialog.statistics", u"Statistics").c_str());
      SetItem(dlg, IDC_STAT_ALL_LABEL, u"label.all_item_count", u"All items:");
      SetItem(dlg, IDC_STAT_FOLDERS_LABEL, u"label.folder_count", u"Folders:");
      SetItem(dlg, IDC_STAT_FILES_LABEL, u"label.file_count", u"Files:");
      SetItem(dlg, IDC_STAT_BUILD_LABEL, u"label.last_build_time", u"Last full build:");
      SetItem(dlg, IDCANCEL, u"button.close", u"Close");
      SetItem(dlg, IDC_STAT_ALL, W(f->all_items));
      SetItem(dlg, IDC_STAT_FOLDERS, W(f->folders));
      SetItem(dlg, IDC_STAT_FILES, W(f->files));
      SetItem(dlg, IDC_STAT_BUILD, W(f->last_full_build));
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
        EndDialog(dlg, IDCANCEL);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

// ---- Web server ----

struct WebState {
  MainWindow* window;
  SettingsFile settings;
  std::function<void(const std::u16string&)> open_address;
};

constexpr int kWebFields[] = {IDC_WEB_IP, IDC_WEB_PORT, IDC_WEB_USER, IDC_WEB_PASSWORD};

void ShowWebState(HWND dlg, bool running) {
  const WebServerFormState form = WebServerForm(running);
  SetItem(dlg, IDC_WEB_START, form.button_key, form.button_english);
  for (int id : kWebFields) EnableWindow(GetDlgItem(dlg, id), form.fields_enabled);
  EnableWindow(GetDlgItem(dlg, IDC_WEB_BROWSER), form.browser_enabled);
}

void StartOrStop(HWND dlg, WebState* s) {
  if (s->window->web_server_running()) {
    s->window->StopWebServer();
    ShowWebState(dlg, false);
    return;
  }
  const std::u16string ip = WebServerAddress(ItemText(dlg, IDC_WEB_IP)), port_text = ItemText(dlg, IDC_WEB_PORT);
  const std::u16string user = ItemText(dlg, IDC_WEB_USER), password = ItemText(dlg, IDC_WEB_PASSWORD);
  const std::optional<uint16_t> port = WebServerPort(port_text);
  if (!port) {
    MessageBoxW(dlg, L"The port must be a number from 1 to 65535.", L"Nusk", MB_OK | MB_ICONWARNING);
    SetFocus(GetDlgItem(dlg, IDC_WEB_PORT));
    return;
  }
  std::u16string error;
  if (!s->window->StartWebServer(ip, *port, user, password, &error)) {
    MessageBoxW(dlg, W(u"The web server did not start: " + error).c_str(), L"Nusk", MB_OK | MB_ICONWARNING);
    ShowWebState(dlg, false);
    return;
  }
  SetText(s->settings, SettingId::kWebServerIp, ip);
  SetInteger(s->settings, SettingId::kWebServerPort, *port);
  SetText(s->settings, SettingId::kWebServerUserName, user);
  SetText(s->settings, SettingId::kWebServerPassword, password);
  ShowWebState(dlg, true);
}

INT_PTR CALLBACK WebProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  WebState* s = DialogObject<WebState>(dlg, msg, lp);
  if (!s) return FALSE;
  switch (msg) {
    case WM_INITDIALOG: {
      SetWindowTextW(dlg, DialogString(u"dialog.web_server", u"Web Server").c_str());
      SetItem(dlg, IDC_WEB_ADDRESS_GROUP, u"groupbox.address", u"Address");
      SetItem(dlg, IDC_WEB_PORT_LABEL, u"label.port", u"Port:");
      SetItem(dlg, IDC_WEB_AUTH_GROUP, u"groupbox.authentication", u"Authentication");
      SetItem(dlg, IDC_WEB_USER_LABEL, u"label.username", u"User name:");
      SetItem(dlg, IDC_WEB_PASSWORD_LABEL, u"label.password", u"Password:");
      SetItem(dlg, IDC_WEB_CONTROL_GROUP, u"groupbox.control", u"Control");
      SetItem(dlg, IDC_WEB_BROWSER, u"button.launch_browser", u"Launch Browser");
      SetItem(dlg, IDCANCEL, u"button.close", u"Close");
      SetItem(dlg, IDC_WEB_IP, W(GetText(s->settings, SettingId::kWebServerIp)));
      const int64_t port = GetInteger(s->settings, SettingId::kWebServerPort);
      SetItem(dlg, IDC_WEB_PORT, std::to_wstring(port > 0 && port < 65536 ? port : 8080));
      SetItem(dlg, IDC_WEB_USER, W(GetText(s->settings, SettingId::kWebServerUserName)));
      SetItem(dlg, IDC_WEB_PASSWORD, W(GetText(s->settings, SettingId::kWebServerPassword)));
      ShowWebState(dlg, s->window->web_server_running());
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDC_WEB_START: StartOrStop(dlg, s); return TRUE;
        case IDC_WEB_BROWSER: {
          // The port the service listens on, else the field's (both agree after Start).
          uint16_t port = s->window->web_server_port();
          if (port == 0) port = WebServerPort(ItemText(dlg, IDC_WEB_PORT)).value_or(8080);
          const std::u16string address = WebServerBrowserAddress(ItemText(dlg, IDC_WEB_IP), port);
          if (s->open_address) {
            s->open_address(address);
          } else {
            ShellExecuteW(dlg, L"open", W(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
          }
          return TRUE;
        }
        case IDOK:
        case IDCANCEL: EndDialog(dlg, IDCANCEL); return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

void ShowTipOfTheDay(HWND owner, const std::u16string& settings_path) {
  TipState state{SettingsFile(settings_path)};
  const std::u16string stored = GetText(state.settings, SettingId::kDefaultTodIndex);
  state.index = FirstTipIndex(
      stored.empty() ? std::nullopt : std::optional<int64_t>(GetInteger(state.settings, SettingId::kDefaultTodIndex)));
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_TIP_OF_THE_DAY), owner, TipProc,
                  reinterpret_cast<LPARAM>(&state));
}

void ShowStatistics(HWND owner, const StatisticsTexts& figures) {
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_STATISTICS), owner, StatisticsProc,
                  reinterpret_cast<LPARAM>(&figures));
}

void ShowWebServerDialog(HWND owner, MainWindow* window, const std::u16string& settings_path,
                         std::function<void(const std::u16string&)> open_address) {
  WebState state{window, SettingsFile(settings_path), std::move(open_address)};
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_WEB_SERVER), owner, WebProc,
                  reinterpret_cast<LPARAM>(&state));
}

}  // namespace nusk
