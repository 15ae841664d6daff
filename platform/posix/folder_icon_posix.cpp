#include "platform/folder_icon.h"

namespace nusk {

// File managers on POSIX systems have no per-folder icon file this program could rely on.
bool EnsureFolderIcon(const std::u16string&, const std::u16string&) { return true; }

}  // namespace nusk
