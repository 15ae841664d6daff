// The window's crash handler: a dump "nusk.gui.mini.dmp" ("nusk.gui.max.dmp" when the
// home folder holds "_MAX_DMP") and the report in "nusk.gui.log", ending with the last
// searched text.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

namespace nusk {

// Asks the message loop to crash the process, so that tests can watch the handler work.
// Honoured only when the environment variable NUSK_TEST_CRASH_MESSAGE is set.
inline constexpr UINT kMsgTestCrash = 20490;

// Installs the handler for a window over home (step 7 of the start-up).
bool InstallGuiCrashHandler(const std::u16string& home);
// Records the text of the search just started for the report.
void NoteLastSearchForCrash(std::u16string_view text);
// The message loop's side of kMsgTestCrash: raises an access violation outside any
// window procedure (where the system might swallow it) when tests allow it.
void CrashIfTestAllows(const MSG& msg);

}  // namespace nusk
