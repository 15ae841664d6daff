// The main window's classic toolbar: a toolbar control in a rebar above the search box,
// with the buttons of ui/toolbar_layout.h, small or large images, the system's
// customisation dialog and buttons for custom actions with their programs' icons.
#pragma once
#include <windows.h>

#include <commctrl.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ui/custom_actions.h"
#include "ui/toolbar_layout.h"

namespace nusk {

// The command identifier of a toolbar button (0 when the window has no such command).
int ToolbarCommandId(const ToolbarButtonDef& button);

class MainToolbar {
 public:
  MainToolbar() = default;
  ~MainToolbar();
  MainToolbar(const MainToolbar&) = delete;
  MainToolbar& operator=(const MainToolbar&) = delete;

  // Creates the rebar (hidden unless `visible`) as a child of owner, which receives the
  // toolbar's commands and notifications. `actions`: the custom actions in order.
  bool Create(HWND owner, bool visible, bool big, const std::vector<ToolbarSlot>& slots,
              const std::vector<CustomAction>& actions);
  HWND rebar() const { return rebar_; }
  HWND toolbar() const { return toolbar_; }
  bool shown() const { return shown_; }
  bool big() const { return big_; }
  // The rebar's height while visible, else 0.
  int height() const;

  // The buttons as they stand (the user's customisation included).
  std::vector<ToolbarSlot> Slots() const;
  // Puts these buttons on the toolbar; custom actions are matched by name against `actions`
  // (the current list), and one whose name is gone is left out.
  void SetSlots(const std::vector<ToolbarSlot>& slots, const std::vector<CustomAction>& actions);
  // Large or small images: the toolbar is made again with the same buttons.
  void SetBig(bool big);
  void Show(bool show);
  // Back, forward and up shown or hidden (`NavButtons`).
  void ShowNavButtons(bool show);
  void Enable(int command, bool enable);
  // Shows the command's button pressed (a window it opened is showing) or not.
  void Check(int command, bool checked);
  bool IsEnabled(int command) const;
  // The system's customisation dialog (modal).
  void Customize();
  // The button's rectangle on the screen (empty when the command has no button).
  RECT ButtonRect(int command) const;

  // Called for WM_NOTIFY from the toolbar; true when handled (*result set). drop_down runs
  // for a drop-down button with its command and the point under the button; changed runs
  // after the user changed the buttons.
  bool OnNotify(NMHDR* hdr, LRESULT* result);
  std::function<void(int command, POINT screen)> drop_down;
  std::function<void()> changed;

 private:
  void MakeToolbar();
  void AddSlots(const std::vector<ToolbarSlot>& slots);
  void AddActionImages();
  TBBUTTON ButtonFor(const ToolbarButtonDef& def);
  TBBUTTON ActionButton(size_t action_index);
  void FitBand();
  int ImageIndex(ToolbarImageSet set, int image) const;

  HWND owner_ = nullptr;
  HWND rebar_ = nullptr;
  HWND toolbar_ = nullptr;
  bool big_ = false;
  bool shown_ = false;
  bool nav_shown_ = true;
  int image_base_[3] = {0, 0, 0};
  int system_images_ = 0;              // the images before the custom actions' icons
  std::vector<CustomAction> actions_;  // button i is action i
  std::vector<int> action_images_;     // action i's image
  std::deque<std::wstring> texts_;     // the texts the buttons point at (stable addresses)
  std::vector<ToolbarSlot> before_customize_;
};

}  // namespace nusk
