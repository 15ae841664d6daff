// A text file written line by line and flushed after every write, such as a build log:
// a crash or kill loses at most the line being written.
#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "util/status.h"

namespace nusk {

class AppendFile {
 public:
  virtual ~AppendFile() = default;

  // Made by Env::NewAppendFile; others may read the file meanwhile.

  // Writes the bytes and flushes them to the system. False when not all were written.
  virtual bool Write(std::string_view bytes) = 0;
};

}  // namespace nusk
