// The search box: a one-line rich edit control ("RICHEDIT50W" from Msftedit.dll; a
// standard EDIT only when the rich edit cannot be created), subclassed for its own
// undo/redo history, the completion popup after "@" and "/", the context menu and the
// recent-searches drop-down. Window thread only.
#pragma once
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/completion.h"
#include "ui/edit_history.h"

namespace nusk {

class SearchBox {
 public:
  // on_change: the text changed (typing, paste, undo, SetText).
  bool Create(HWND parent, int id, std::function<void()> on_change);
  HWND hwnd() const { return hwnd_; }
  bool is_rich() const { return rich_; }

  std::u16string Text() const;
  // Replaces the text; the caret goes to the end, nothing selected.
  void SetText(std::u16string_view text);
  void SelectAll();
  bool HasSelection() const;
  bool AllSelected() const;  // the selection runs from the first to the last character
  int preferred_height() const { return height_; }
  // EN_CHANGE from the control (the parent forwards it): records the edit, updates the
  // completion popup and tells the window.
  void OnEnChange();

  // Own undo history.
  bool Undo();
  bool Redo();
  bool CanUndo() const { return history_.CanUndo(); }

  // Completion popup (candidates for "@" and "/").
  void SetNamedSearchNames(std::vector<std::u16string> names) { named_ = std::move(names); }
  bool completion_open() const { return popup_ && IsWindowVisible(popup_); }
  std::vector<std::u16string> CompletionItems() const;
  HWND completion_popup() const { return popup_; }
  void CloseCompletion();
  // Puts the chosen candidate into the box.
  void AcceptCompletion(int index);

  // Recent searches shown by the drop-down (Alt+Down or F4).
  void SetRecent(std::vector<std::u16string> recent) { recent_ = std::move(recent); }
  void ShowRecent();

  void ShowContextMenu(POINT screen);
  void RunMenuCommand(int id);
  void SetFontHeight(int pixels);

 private:
  bool Replay(const std::optional<EditState>& state);
  static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  static LRESULT CALLBACK PopupProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  void UpdateCompletion();
  int Caret() const;
  void SetTextAndCaret(std::u16string_view text, int caret);

  HWND hwnd_ = nullptr;
  HWND popup_ = nullptr;
  HFONT font_ = nullptr;
  bool rich_ = false;
  int height_ = 24;
  bool applying_ = false;   // inside our own SetWindowText
  bool replaying_ = false;  // undo/redo: not a new step
  bool typed_ = false;      // the change came from a typed character (completion follows it)
  EditKind pending_kind_ = EditKind::kOther;
  std::function<void()> on_change_;
  EditHistory history_;
  std::vector<std::u16string> named_;
  std::vector<std::u16string> recent_;
  std::optional<CompletionWord> word_;  // the word the popup completes
  std::vector<std::u16string> candidates_;
};

}  // namespace nusk
