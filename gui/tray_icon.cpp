#include "gui/tray_icon.h"

#include <shellapi.h>

#include <cwchar>
#include <iterator>

#include "gui/resource.h"
#include "gui/win_menu_text.h"

namespace nusk {

namespace {

constexpr UINT kTrayId = 1;

void Copy(wchar_t* dst, size_t capacity, const wchar_t* src) {
  std::wcsncpy(dst, src, capacity - 1);
  dst[capacity - 1] = L'\0';
}

}  // namespace

NOTIFYICONDATAW TrayIcon::Data(UINT flags) const {
  NOTIFYICONDATAW d{};
  d.cbSize = sizeof(d);
  d.hWnd = window_;
  d.uID = kTrayId;
  d.uFlags = flags;
  return d;
}

bool TrayIcon::Add(HWND window) {
  window_ = window;
  NOTIFYICONDATAW d = Data(NIF_MESSAGE | NIF_ICON | NIF_TIP);
  d.uCallbackMessage = kMsgTrayIcon;
  d.hIcon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_NUSK), IMAGE_ICON,
                                          GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  Copy(d.szTip, std::size(d.szTip), L"Nusk Running..");
  if (shown_) Shell_NotifyIconW(NIM_DELETE, &d);
  shown_ = Shell_NotifyIconW(NIM_ADD, &d) != FALSE;
  if (d.hIcon) DestroyIcon(d.hIcon);
  return shown_;
}

void TrayIcon::Remove() {
  if (!shown_) return;
  NOTIFYICONDATAW d = Data(0);
  Shell_NotifyIconW(NIM_DELETE, &d);
  shown_ = false;
}

void TrayIcon::ShowHiddenBalloon() {
  if (!shown_) return;
  NOTIFYICONDATAW d = Data(NIF_INFO);
  d.dwInfoFlags = NIIF_INFO;
  Copy(d.szInfoTitle, std::size(d.szInfoTitle), L"Nusk Notification");
  Copy(d.szInfo, std::size(d.szInfo),
       L"Nusk is still running,if you want to exit, use tray icon's context menu.\n"
       L"If you don't want to see this message again, click on it.");
  Shell_NotifyIconW(NIM_MODIFY, &d);
}

void TrayIcon::OnMessage(LPARAM lp, bool* balloon_clicked) {
  switch (LOWORD(lp)) {
    case WM_LBUTTONUP:
      ShowWindow(window_, IsIconic(window_) ? SW_RESTORE : SW_SHOW);
      SetForegroundWindow(window_);
      break;
    case WM_RBUTTONUP: {
      POINT at;
      GetCursorPos(&at);
      ShowMenu(at);
      break;
    }
    case NIN_BALLOONUSERCLICK: *balloon_clicked = true; break;
    default: break;
  }
}

void TrayIcon::ShowMenu(POINT at) {
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, kMsgExitProgram, MenuText(u"file.exit", u"E&xit").c_str());
  // The menu closes when the user clicks elsewhere only if its owner is in the foreground.
  SetForegroundWindow(window_);
  const UINT chosen =
      TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, window_, nullptr);
  DestroyMenu(menu);
  PostMessageW(window_, WM_NULL, 0, 0);
  if (chosen == kMsgExitProgram) PostMessageW(window_, kMsgExitProgram, 0, 0);
}

}  // namespace nusk
