#include "app/interrupt.h"

#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "platform/console.h"
#include "settings/process_state.h"

namespace nusk {

namespace {

// Counts interrupts being handled so the main thread can wait for their commits.
struct InFlight {
  std::mutex mu;
  std::condition_variable idle;
  int running = 0;
  bool subcommand_returned = false;
};

InFlight& Handlers() {
  static InFlight* state = new InFlight;  // never destroyed: handler threads may outlive main
  return *state;
}

}  // namespace

void HandleInterrupt(std::chrono::milliseconds wait) {
  InFlight& h = Handlers();
  bool returned;
  {
    std::lock_guard<std::mutex> lock(h.mu);
    ++h.running;
    returned = h.subcommand_returned;
  }
  std::fputs("Ctrl-C handled\n", stdout);
  std::fflush(stdout);
  // New event before the flag: whoever sees the flag set also finds this event.
  std::shared_ptr<CancelEvent> event = NewCancelEvent();
  Process().cancel_requested.store(true);
  if (!returned) {
    // The sub-command may have returned between the first look and the flag; the
    // dispatcher then saw no flag and will not signal this event.
    std::lock_guard<std::mutex> lock(h.mu);
    returned = h.subcommand_returned;
  }
  if (!returned) event->Wait(wait);
  RunCancelCommitHook();
  {
    std::lock_guard<std::mutex> lock(h.mu);
    --h.running;
  }
  h.idle.notify_all();
}

bool InstallInterruptHandling() {
  return InstallInterruptHandler([] { HandleInterrupt(); });
}

void FinishSubcommand() {
  InFlight& h = Handlers();
  std::unique_lock<std::mutex> lock(h.mu);
  h.subcommand_returned = true;
  if (Process().cancel_requested.load()) SignalCancelEvent();
  // A handler that set the flag after the look above sees subcommand_returned when it
  // looks again, and does not wait for the event.
  h.idle.wait(lock, [&] { return h.running == 0; });
}

}  // namespace nusk
