// The console: interrupt handling and the key-press wait.
#pragma once
#include <functional>

namespace nusk {

// Installs the process's interrupt handler; call once, from the main thread.
// Windows: SetConsoleCtrlHandler; on_interrupt runs on the system's control-handler
// thread for Ctrl-C, while every other console event (Ctrl-Break, close, log-off,
// shut-down) is acknowledged and ignored. POSIX: SIGINT and SIGTERM; the signal handler
// only writes to a pipe, and a thread of its own calls on_interrupt, so nothing unsafe
// runs in signal context. In both cases the process is not ended by the handler.
// Returns false when the handler cannot be installed.
bool InstallInterruptHandler(std::function<void()> on_interrupt);

// Waits for one key press on the console without echo. Returns at once when the
// process has no console (standard input redirected or absent).
void WaitForKeyPress();

}  // namespace nusk
