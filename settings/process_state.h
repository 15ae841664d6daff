// Process-wide start-up state: set once by start-up before any sub-command runs and
// read-only afterwards, except the cancel flag, the cancel event and the commit hook,
// which the console control handler and the index code share (see below).
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/process_info.h"

namespace nusk {

// A manual-reset event: once Set, every present and future Wait returns true at once.
// Thread-safe.
class CancelEvent {
 public:
  void Set();
  bool IsSet() const;
  // True when the event was set within timeout_ms (0 tests without waiting).
  bool Wait(std::chrono::milliseconds timeout);

 private:
  mutable std::mutex mu_;
  std::condition_variable cv_;
  bool set_ = false;
};

struct ProcessState {
  std::u16string home_folder;                 // database folder; always ends with the path separator
  std::u16string folder_override;             // normalised --dbdir value, empty when absent
  std::u16string settings_path;               // home_folder + "nusk.ini"
  bool newer_system = true;                   // Windows 6.0 or later (always true on POSIX)
  std::atomic<bool> cancel_requested{false};  // set on Ctrl-C / SIGINT / SIGTERM, never cleared
  OptionalEntryPoints entry_points;
};

// The one instance.
ProcessState& Process();

// --- Cancel event ------------------------------------------------------------------------
// Each interrupt replaces the event with a new, unset one (NewCancelEvent, called by the
// control handler); the dispatcher sets the current one once the sub-command has returned
// (SignalCancelEvent). Both are safe from any thread.
std::shared_ptr<CancelEvent> NewCancelEvent();
std::shared_ptr<CancelEvent> CurrentCancelEvent();  // null before the first interrupt
void SignalCancelEvent();                           // no effect before the first interrupt

// --- Commit on interrupt -----------------------------------------------------------------
// The writable index registers a hook that writes it to the database files; the control
// handler runs it after an interrupt, once the sub-command has returned or 3000 ms have
// passed. The hook and every change of the index are serialised by IndexMutex(): the
// index code holds it while it changes the index or commits, and the handler holds it
// while the hook runs, so a commit never sees a half-made change. The hook must tolerate
// being called after the index has already been written (it then does nothing).
//
// An empty function removes the hook. Removing it while holding IndexMutex() guarantees
// that no call of the old hook is running or will start, so the index may then go away.
void SetCancelCommitHook(std::function<void()> hook);
std::mutex& IndexMutex();
// Runs the registered hook (if any) under IndexMutex(). Returns true when a hook ran.
bool RunCancelCommitHook();

}  // namespace nusk
