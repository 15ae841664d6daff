#include "ui/launch_text.h"

namespace nusk {

std::u16string JoinSearchArguments(std::span<const std::u16string> args) {
  std::u16string text;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i) text += u' ';
    const std::u16string& a = args[i];
    if (a.find(u' ') != std::u16string::npos && (a.empty() || a[0] != u'"')) {
      text += u'"' + a + u'"';
    } else {
      text += a;
    }
  }
  return text;
}

std::u16string ToHandOverText(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) {
    if (c == u'"') c = u'|';
  }
  return out;
}

std::u16string FromHandOverText(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) {
    if (c == u'|') c = u'"';
  }
  return out;
}

std::u16string WithSpaceForExistingPath(std::u16string text, const std::function<bool(std::u16string_view)>& exists) {
  if (text.empty()) return text;
  std::u16string bare;
  for (char16_t c : text) {
    if (c != u'"') bare += c;
  }
  if (!bare.empty() && exists && exists(bare)) text += u' ';
  return text;
}

}  // namespace nusk
