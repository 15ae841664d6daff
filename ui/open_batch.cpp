#include "ui/open_batch.h"

namespace nusk {

bool AskBeforeOpening(size_t opened_so_far) { return opened_so_far > 0 && opened_so_far % 10 == 0; }

std::u16string ContinueOpeningQuestion(size_t opened_so_far, bool windows) {
  std::u16string n;
  for (char c : std::to_string(opened_so_far)) n += char16_t(c);
  return u"You have opened " + n + (windows ? u" windows" : u" files") + u", do you want to continue?";
}

std::u16string SelectInFolderParameters(std::u16string_view full_path) {
  return u"/select,\"" + std::u16string(full_path) + u"\"";
}

std::u16string ClipboardLines(std::span<const std::u16string> lines) {
  std::u16string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) text += u"\r\n";
    text += lines[i];
  }
  return text;
}

}  // namespace nusk
