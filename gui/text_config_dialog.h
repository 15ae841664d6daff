// The dialog that edits one text (custom actions, named searches, the go-to-row number):
// the text in an edit box under a label; OK hands it to a check that takes it (the dialog
// closes) or refuses it with a reason (a warning, and the dialog stays open with the text).
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "ui/text_config.h"

namespace nusk {

// A text of the dialog: its control (0: the caption), language key and English text.
struct TextConfigText {
  int id = 0;
  std::u16string_view key;  // "dialog.custom_actions_config", "label.custom_actions_hint"
  const char16_t* english = u"";
};

struct TextConfigDialog {
  UINT template_id = 0;  // a dialog with a label, an edit box, OK and Cancel
  int edit_id = 0;       // the edit box
  TextConfigText title;
  TextConfigText label;     // the label above the box (id 0: left as the template has it)
  bool select_all = false;  // the text starts selected (typing replaces it); else the caret is at its end
  std::u16string text;      // the text shown first
  std::function<TextConfigVerdict(std::u16string_view)> apply;
};

// Runs the dialog modally. True when it was closed with an accepted text.
bool RunTextConfigDialog(HWND owner, const TextConfigDialog& dialog);

}  // namespace nusk
