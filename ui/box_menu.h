// The search box's context menu: which entries are greyed.
#pragma once
#include <cstddef>

namespace nusk {

struct BoxMenuState {
  bool undo = false, cut = false, copy = false, paste = false, del = false, select_all = false;  // enabled
  bool operator==(const BoxMenuState&) const = default;
};

// Undo needs something to undo; Cut, Copy and Delete a selection; Paste text on the
// clipboard; Select All is greyed when the selection already runs from the first to the
// last character (which includes an empty box). sel_start/sel_end in either order.
BoxMenuState SearchBoxMenu(size_t text_length, size_t sel_start, size_t sel_end, bool can_undo,
                           bool clipboard_has_text);

}  // namespace nusk
