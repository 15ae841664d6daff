// What the program does on Ctrl-C (SIGINT/SIGTERM on POSIX): ask the running sub-command
// to stop, give it time to return, then write an open writable index to disk.
#pragma once
#include <chrono>

namespace nusk {

// The interrupt itself, run on the control-handler thread for each Ctrl-C: prints
// "Ctrl-C handled\n", replaces the cancel event with a new unset one, sets
// Process().cancel_requested, waits up to wait for the dispatcher to report that the
// sub-command returned (at once when it already has), then runs the commit hook
// (settings/process_state.h). Thread-safe; interrupts may overlap.
void HandleInterrupt(std::chrono::milliseconds wait = std::chrono::milliseconds(3000));

// Installs HandleInterrupt as the console interrupt handler. False when the system
// refuses it. Main thread, once.
bool InstallInterruptHandling();

// Called by the dispatcher on the main thread when the sub-command has returned: marks it
// returned, signals the cancel event when an interrupt asked for it, and waits until
// every running HandleInterrupt has finished its commit, so the process never ends in
// the middle of one.
void FinishSubcommand();

}  // namespace nusk
