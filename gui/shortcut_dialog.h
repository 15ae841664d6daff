// The keyboard-shortcut editor: every named command with its shortcut, a hot-key box to
// give the selected command another one, and buttons to remove one or reset them all.
#pragma once
#include <windows.h>

#include <vector>

#include "ui/shortcuts.h"

namespace nusk {

// Edits *table (the window's shortcut table); true on OK with the edited table.
bool EditShortcuts(HWND owner, std::vector<Shortcut>* table);

}  // namespace nusk
