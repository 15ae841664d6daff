// The main window's life: the hand-over from a second start (20434), the notification
// area (20435, 20436), closing (hide to the tray, deferred quit, saving the state and
// stopping the workers), and the saved window placement.
#include "gui/instance.h"
#include "gui/main_window.h"
#include "gui/tray_icon.h"
#include "platform/process_relay.h"
#include "platform/win32/win_text.h"
#include "settings/setting_keys.h"
#include "ui/window_life.h"
#include "web/web_service.h"

namespace nusk {

void MainWindow::ApplyTrayOption() {
  if (!options_.close_to_tray) {
    tray_.reset();  // removes the icon
    return;
  }
  if (!tray_) tray_ = std::make_unique<TrayIcon>();
  if (!tray_->shown()) tray_->Add(hwnd_);
}

bool MainWindow::StartLife(bool show) {
  taskbar_created_ = RegisterWindowMessageW(L"TaskbarCreated");
  ApplyTrayOption();
  // A saved rectangle that lies on no screen any more is not used.
  if (const std::optional<SavedPlacement> p = ParsePlacement(GetText(settings_, SettingId::kWindowPlacement))) {
    RECT rc = {p->left, p->top, p->right, p->bottom};
    if (MonitorFromRect(&rc, MONITOR_DEFAULTTONULL)) {
      WINDOWPLACEMENT wp{};
      wp.length = sizeof(wp);
      wp.showCmd = SW_HIDE;
      wp.rcNormalPosition = rc;
      SetWindowPlacement(hwnd_, &wp);
      show_command_ = p->maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    }
  }
  // Started hidden, the window is reached through its icon only: without one it shows.
  return show || !tray_ || !tray_->shown();
}

bool MainWindow::HandleLifeMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  *result = 0;
  switch (msg) {
    case kMsgHandOver: OnHandOver(); return true;
    case kMsgTrayIcon:
      if (tray_) tray_->OnMessage(lp, &balloon_silenced_);
      return true;
    case kMsgExitProgram:
      exit_requested_ = true;
      if (tray_) tray_->Remove();
      RequestClose();
      return true;
    case WM_CLOSE: RequestClose(); return true;
    case WM_ENDSESSION:
      // The session ends without a close: save the state now, or the next start would
      // take the missing end time for a crash.
      if (wp && IsWindow(hwnd_)) EndWindow();
      return true;
    case WM_ACTIVATE:
      // The activation by a second start is its hand-over, not the start of menu mode.
      if (LOWORD(wp) != WA_INACTIVE && HandOverActivationPending()) PostMessageW(hwnd_, WM_CANCELMODE, 0, 0);
      return false;
    default:
      if (msg == taskbar_created_ && taskbar_created_ && tray_) tray_->Add(hwnd_);  // the shell restarted
      return false;
  }
}

void MainWindow::OnHandOver() {
  ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(hwnd_);
  const std::u16string text = ReceivedSearchText(GetText(settings_, SettingId::kMessageFindStr),
                                                 settings_.ReadText(u"Message", kFindTextKey), PathExists);
  // Equal to the search text before the box changes: the change starts no timer.
  search_text_ = text;
  box_.SetText(text);
  UpdateTitle();
  RunSearch();  // before the load completes, the first search takes the text
  SetFocus(box_.hwnd());
}

void MainWindow::RequestClose() {
  CloseContext c;
  c.close_to_tray = tray_ && tray_->shown();
  c.exit_requested = exit_requested_;
  c.loading = !loaded_ && loader_.joinable();
  c.foreground_build = building_ && foreground_build_;
  switch (DecideClose(c)) {
    case CloseStep::kHideToTray:
      ShowWindow(hwnd_, SW_HIDE);
      if (ShowsHiddenBalloon(GetFlag(settings_, SettingId::kNoMinimizeNotification), balloon_silenced_)) {
        tray_->ShowHiddenBalloon();
      }
      break;
    case CloseStep::kDefer:
      // The load's end, or the foreground build's, finishes the quit; a build is ended
      // (exit code 4) so that the window need not wait for it.
      quit_requested_ = true;
      if (c.foreground_build) EndRelayedChild(4);
      break;
    case CloseStep::kEnd: EndWindow(); break;
  }
}

void MainWindow::EndWindow() {
  SaveState();
  WINDOWPLACEMENT wp{};
  wp.length = sizeof(wp);
  if (GetWindowPlacement(hwnd_, &wp)) {
    const RECT& r = wp.rcNormalPosition;
    const bool maximized = wp.showCmd == SW_SHOWMAXIMIZED || IsZoomed(hwnd_);
    SetText(settings_, SettingId::kWindowPlacement,
            PlacementText({maximized, static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.right),
                           static_cast<int>(r.bottom)}));
  }
  CloseInstanceMutex();
  SetInteger(settings_, SettingId::kLastUIEndTime, NowFileTime());
  ShowWindow(hwnd_, SW_HIDE);
  if (source_) source_->WaitIdle();
  const bool web_running = web_ && web_->IsRunning();
  StopWebServer();
  SetFlag(settings_, SettingId::kWebServerRunning, web_running);
  if (tray_) tray_->Remove();
  DestroyWindow(hwnd_);
}

}  // namespace nusk
