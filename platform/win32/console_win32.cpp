// Console interrupts on Windows: a SetConsoleCtrlHandler routine that handles Ctrl-C on
// the thread the system creates for it and acknowledges every other event.
#include <windows.h>

#include "platform/console.h"

namespace nusk {

namespace {

std::function<void()>* g_on_interrupt = nullptr;  // set once before the routine is added

BOOL WINAPI ControlRoutine(DWORD event) {
  if (event == CTRL_C_EVENT && g_on_interrupt) (*g_on_interrupt)();
  return TRUE;
}

}  // namespace

bool InstallInterruptHandler(std::function<void()> on_interrupt) {
  if (g_on_interrupt) return false;
  g_on_interrupt = new std::function<void()>(std::move(on_interrupt));  // lives as long as the process
  // A parent may have started us with Ctrl-C ignored (CREATE_NEW_PROCESS_GROUP); the
  // handler is meant to see it.
  SetConsoleCtrlHandler(nullptr, FALSE);
  return SetConsoleCtrlHandler(ControlRoutine, TRUE) != FALSE;
}

void WaitForKeyPress() {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  DWORD saved_mode = 0;
  if (in == nullptr || in == INVALID_HANDLE_VALUE || !GetConsoleMode(in, &saved_mode)) return;
  SetConsoleMode(in, saved_mode & ~(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT));
  FlushConsoleInputBuffer(in);
  for (;;) {
    INPUT_RECORD record;
    DWORD read = 0;
    if (!ReadConsoleInputW(in, &record, 1, &read) || read == 0) break;
    if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) break;
  }
  SetConsoleMode(in, saved_mode);
}

}  // namespace nusk
