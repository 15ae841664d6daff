// The notification-area icon of the main window: added while `CloseToTray` is on, tip
// "Nusk Running..", mouse events as message 20435 to the window, the balloon shown when
// the window hides, and the menu with its one entry "E&xit" (message 20436).
#pragma once
#include <windows.h>

#include <shellapi.h>

#include <string>

namespace nusk {

inline constexpr UINT kMsgTrayIcon = 20435;
inline constexpr UINT kMsgExitProgram = 20436;

class TrayIcon {
 public:
  ~TrayIcon() { Remove(); }
  // Adds the icon for window (again after the taskbar was re-created). False when the
  // system refused it.
  bool Add(HWND window);
  void Remove();
  bool shown() const { return shown_; }
  // The balloon "Nusk Notification" with its text (information icon).
  void ShowHiddenBalloon();
  // Handles 20435 (lp: the mouse message). Left click: restore; right click: the menu.
  // balloon_clicked is set when the user clicked the balloon.
  void OnMessage(LPARAM lp, bool* balloon_clicked);
  // Opens the menu at point (screen coordinates); Exit posts 20436 to the window.
  void ShowMenu(POINT at);

 private:
  NOTIFYICONDATAW Data(UINT flags) const;
  HWND window_ = nullptr;
  bool shown_ = false;
};

}  // namespace nusk
