// The main window's keyboard rules, applied to every key before it reaches its control.
#pragma once

namespace nusk {

// Keys the rules look at; the window maps its virtual-key codes to these.
enum class UiKey { kOther, kA, kDigit, kTab, kDown, kUp, kEnter, kEscape, kMouseBack, kMouseForward };

enum class UiFocus { kSearchBox, kResultList, kOther };

struct KeyPress {
  UiKey key = UiKey::kOther;
  int digit = 0;  // 1..9 for kDigit
  bool ctrl = false;
};

// What the window knows when the key arrives.
struct KeyContext {
  UiFocus focus = UiFocus::kOther;
  bool box_has_text = false;
  bool box_dropdown_open = false;  // the recent-searches drop-down
  bool completion_open = false;    // the completion popup
  bool balloon_shown = false;      // a balloon tip waiting for a key
  bool list_on_first_row = false;  // the list's focused row is row 0
  int column_count = 0;            // columns shown in the list
  bool tree_shown = false;
  bool focused_row_is_folder = false;
  bool close_by_esc = false;      // `CloseByEsc`
  bool search_button = false;     // `SearchButton`
  bool box_text_changed = false;  // the box differs from the search text
};

enum class KeyAction {
  kPass,           // the key goes on to its control unchanged
  kSelectAllText,  // select the search box's whole text
  kSortByColumn,   // sort by the column at display index `column`
  kFocusSearchBox,
  kFocusResultList,
  kOpenSelection,
  kShowFolderInTree,
  kRunSearch,
  kClearAndFocusBox,  // empty the search box and focus it
  kCloseWindow,       // close (or hide to the tray with `CloseToTray`)
  kGoBack,
  kGoForward,
};

struct KeyDecision {
  KeyAction action = KeyAction::kPass;
  int column = -1;  // display index for kSortByColumn
  bool operator==(const KeyDecision&) const = default;
};

// The rule for a key; kPass where no rule applies. An open drop-down, completion popup
// or balloon takes Tab, Enter, Escape and the arrows first.
KeyDecision DecideKey(const KeyPress& key, const KeyContext& context);

}  // namespace nusk
