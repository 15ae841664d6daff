#include "ui/sleeping_drives.h"

namespace nusk {

char16_t DriveLetterOfPath(std::u16string_view path) {
  if (path.size() < 2 || path[1] != u':') return 0;
  const char16_t c = path[0];
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - u'a' + u'A');
  return c >= u'A' && c <= u'Z' ? c : 0;
}

bool MayTouchItem(std::u16string_view path, bool avoid_waking, const std::function<bool(char16_t)>& spinning) {
  if (!avoid_waking) return true;
  const char16_t letter = DriveLetterOfPath(path);
  if (!letter || !spinning) return true;
  return spinning(letter);
}

}  // namespace nusk
