#include "ui/box_menu.h"

#include <algorithm>

namespace nusk {

BoxMenuState SearchBoxMenu(size_t text_length, size_t sel_start, size_t sel_end, bool can_undo,
                           bool clipboard_has_text) {
  const size_t lo = std::min(sel_start, sel_end), hi = std::min(std::max(sel_start, sel_end), text_length);
  const bool selection = hi > lo;
  BoxMenuState s;
  s.undo = can_undo;
  s.cut = s.copy = s.del = selection;
  s.paste = clipboard_has_text;
  s.select_all = !(lo == 0 && hi == text_length);
  return s;
}

}  // namespace nusk
