// The icon of the program a custom action's command line starts, for the "More actions"
// menu and the toolbar's custom-action buttons.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

namespace nusk {

// The text with the environment's %NAME% values put in (unchanged when that fails).
std::u16string ExpandEnvironment(std::u16string_view text);

// The icon, size by size pixels, of the program an expanded command line starts, found
// as the system finds it (".exe" added when the name has no extension); null when the
// program is not found or has no icon. The caller destroys it.
HICON ProgramIcon(std::u16string_view expanded_command, int size);

// The icon as a 32-bit top-down bitmap with premultiplied alpha, the form menus blend
// item bitmaps in: transparent outside the icon's shape, its edges blended with whatever
// lies under them. The icon's own alpha is used when it has one, else its mask. Null
// when the icon's bitmaps cannot be read. The caller deletes it.
HBITMAP IconAlphaBitmap(HICON icon);

// The header of a 32-bit top-down bitmap of that size, as icons and thumbnails are made.
BITMAPINFO TopDownBitmapInfo(int width, int height);

}  // namespace nusk
