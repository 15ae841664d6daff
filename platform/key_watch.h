// Non-blocking check for a key press on the console, for console services that run
// "until a key is pressed" while they poll for other work.
#pragma once
#include <memory>

namespace nusk {

class KeyWatch {
 public:
  virtual ~KeyWatch() = default;
  // Null when standard input is not an interactive console (a pipe, a file, a service
  // manager, a test harness): such a caller runs until it is interrupted instead.
  // POSIX: switches the terminal to unbuffered input without echo until destroyed.
  static std::unique_ptr<KeyWatch> Open();
  // True when a key was pressed since the last call; consumes the pending input.
  // Never blocks.
  virtual bool KeyPressed() = 0;
};

}  // namespace nusk
