// Standard output of the console sub-commands: result lines that may be piped, and notes
// meant only for the person at the terminal.
// Safe from one thread at a time (the sub-command's).
#pragma once
#include <string_view>

namespace nusk {

// True when standard output is a terminal (a console window on Windows).
bool StdoutIsTerminal();

// Writes text to standard output: a Windows console receives UTF-16 (WriteConsoleW),
// anything else UTF-8. With flush, buffered output is pushed out at once.
void WriteStdout(std::u16string_view text, bool flush);

// A note for the person at the terminal that must never end up in redirected output:
// written to standard output when it is a terminal, else to standard error.
void WriteTerminalNote(std::u16string_view text);

}  // namespace nusk
