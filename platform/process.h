// Child processes with redirected standard handles.
//
// Standard input of the child is empty (the null device); standard output and standard
// error are read into memory by two threads of the parent, so a child that writes a lot
// never blocks on a full pipe.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "util/status.h"

namespace nusk {

struct ChildOptions {
  // Variables set (or, with an empty value, removed) in the child's environment; the
  // rest of the parent's environment is inherited.
  std::vector<std::pair<std::u16string, std::u16string>> env;
  // Prepares the child for Interrupt(). POSIX: the child gets a process group of its
  // own, so a terminal's Ctrl-C meant for the parent does not reach it. Windows: the child
  // shares the parent's console (the parent gets a hidden one when it has none), because
  // a Ctrl-C event reaches only processes attached to the sender's console.
  bool interruptible = false;
};

class ChildProcess {
 public:
  virtual ~ChildProcess() = default;

  // Starts program (a full path) with the given arguments (argument 0, the program, is
  // added here). Windows quotes each argument so CommandLineToArgvW gives it back.
  static Status Start(const std::u16string& program, const std::vector<std::u16string>& args,
                      const ChildOptions& options, std::unique_ptr<ChildProcess>* child);

  // Sends the console interrupt: SIGINT on POSIX; on Windows a Ctrl-C event to the
  // console the parent shares with the child, which makes the parent ignore Ctrl-C
  // from then on. Needs ChildOptions::interruptible on Windows.
  virtual Status Interrupt() = 0;

  // Waits up to timeout_ms for the child to end. On success *exit_code is its status
  // (POSIX: 128 + signal number when a signal ended it) and both outputs are complete.
  // False when the child is still running; it is then killed by the destructor.
  virtual bool Wait(uint32_t timeout_ms, int* exit_code) = 0;

  // What the child wrote; complete only after a successful Wait.
  virtual const std::string& Stdout() const = 0;
  virtual const std::string& Stderr() const = 0;
};

// Result of RunChild.
struct ChildResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};

// Starts a child, waits up to timeout_ms for it and collects its output. Fails when the
// child cannot be started or does not end in time (it is then killed).
Status RunChild(const std::u16string& program, const std::vector<std::u16string>& args, const ChildOptions& options,
                uint32_t timeout_ms, ChildResult* result);

}  // namespace nusk
