#include "gui/crash_handler.h"

#include "platform/crash.h"
#include "ui/window_life.h"

namespace nusk {

bool InstallGuiCrashHandler(const std::u16string& home) {
  CrashReportSetup setup;
  setup.log_path = home + u"nusk.gui.log";
  setup.dump_folder = home;
  setup.dump_stem = u"nusk.gui";
  setup.prepared = GuiCrashReportPrelude(home);
  NoteLastSearchForCrash(u"");
  return InstallCrashHandler(setup);
}

void NoteLastSearchForCrash(std::u16string_view text) { SetCrashReportTail(LastSearchLine(text)); }

void CrashIfTestAllows(const MSG& msg) {
  if (msg.message != kMsgTestCrash || GetEnvironmentVariableW(L"NUSK_TEST_CRASH_MESSAGE", nullptr, 0) == 0) return;
  RaiseException(EXCEPTION_ACCESS_VIOLATION, EXCEPTION_NONCONTINUABLE, 0, nullptr);
}

}  // namespace nusk
