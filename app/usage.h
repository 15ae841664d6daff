// The usage and version texts of the console program.
#pragma once
#include <cstdio>

namespace nusk {

extern const char kUsageText[];
extern const char kVersionText[];

// Prints the usage text to out. When the program was started from the Windows desktop
// shell (its parent is "explorer.exe"), then asks for a key press so the console window
// stays open until the text has been read.
void PrintUsage(std::FILE* out);

}  // namespace nusk
