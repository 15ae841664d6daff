// Gives a folder a custom icon taken from the running executable, as shown by the
// system's file manager (Windows: desktop.ini through SHGetSetFolderCustomSettings).
#pragma once
#include <string>

namespace nusk {

// Makes folder show icon 1 of exe_path unless its desktop.ini already names an existing
// icon file with index 1. Returns false when the system call failed (the caller only
// reports it to the debugger). A no-op returning true where the system has no such
// service (POSIX).
bool EnsureFolderIcon(const std::u16string& folder, const std::u16string& exe_path);

}  // namespace nusk
