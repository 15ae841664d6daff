#include "ui/keyboard_rules.h"

namespace nusk {

namespace {

KeyDecision Do(KeyAction a, int column = -1) { return KeyDecision{a, column}; }

KeyDecision Escape(const KeyContext& c) {
  if (c.close_by_esc) {
    if (!c.box_has_text) return Do(KeyAction::kCloseWindow);
    return Do(KeyAction::kClearAndFocusBox);
  }
  if (c.focus == UiFocus::kSearchBox) return Do(KeyAction::kClearAndFocusBox);
  return Do(KeyAction::kFocusSearchBox);
}

KeyDecision Enter(const KeyContext& c) {
  if (c.focus == UiFocus::kResultList) {
    if (c.tree_shown && c.focused_row_is_folder) return Do(KeyAction::kShowFolderInTree);
    return Do(KeyAction::kOpenSelection);
  }
  if (c.focus == UiFocus::kSearchBox) {
    if (c.search_button && c.box_text_changed) return Do(KeyAction::kRunSearch);
    return Do(KeyAction::kFocusResultList);
  }
  return Do(KeyAction::kPass);
}

}  // namespace

KeyDecision DecideKey(const KeyPress& key, const KeyContext& c) {
  const bool box = c.focus == UiFocus::kSearchBox;
  // The drop-down, the completion popup and a balloon see their keys first.
  const bool popup = c.box_dropdown_open || c.completion_open;
  switch (key.key) {
    case UiKey::kA:
      if (key.ctrl && box && c.box_has_text) return Do(KeyAction::kSelectAllText);
      return Do(KeyAction::kPass);
    case UiKey::kDigit:
      if (key.ctrl && key.digit >= 1 && key.digit <= 9 && key.digit <= c.column_count)
        return Do(KeyAction::kSortByColumn, key.digit - 1);
      return Do(KeyAction::kPass);
    case UiKey::kTab:
      if (key.ctrl || popup) return Do(KeyAction::kPass);
      return Do(box ? KeyAction::kFocusResultList : KeyAction::kFocusSearchBox);
    case UiKey::kDown:
      if (box && !popup) return Do(KeyAction::kFocusResultList);
      return Do(KeyAction::kPass);
    case UiKey::kUp:
      if (c.focus == UiFocus::kResultList && c.list_on_first_row) return Do(KeyAction::kFocusSearchBox);
      return Do(KeyAction::kPass);
    case UiKey::kEnter:
      if (popup && box) return Do(KeyAction::kPass);
      return Enter(c);
    case UiKey::kEscape:
      if (popup || c.balloon_shown) return Do(KeyAction::kPass);
      return Escape(c);
    case UiKey::kMouseBack: return Do(KeyAction::kGoBack);
    case UiKey::kMouseForward: return Do(KeyAction::kGoForward);
    default: return Do(KeyAction::kPass);
  }
}

}  // namespace nusk
