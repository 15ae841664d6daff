// The configuration dialog that edits one text (custom actions, named searches): the
// text in a multi-line box; OK hands it to a check that takes it (the dialog closes) or
// refuses it with a reason (a warning, and the dialog stays open with the text).
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "ui/text_config.h"

namespace nusk {

struct TextConfigDialog {
  UINT template_id = 0;           // a dialog with a label, an edit box, OK and Cancel
  int edit_id = 0;                // the edit box
  std::u16string_view title_key;  // the caption's language key ("dialog.custom_actions_config")
  const char16_t* title = u"";    // its English text
  std::u16string text;            // the text shown first
  std::function<TextConfigVerdict(std::u16string_view)> apply;
};

// Runs the dialog modally. True when it was closed with an accepted text.
bool RunTextConfigDialog(HWND owner, const TextConfigDialog& dialog);

}  // namespace nusk
