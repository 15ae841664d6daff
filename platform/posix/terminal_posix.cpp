#include "platform/terminal.h"

#include <unistd.h>

#include <cstdio>

#include "platform/native_name.h"

namespace nusk {

bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

void WriteStdout(std::u16string_view text, bool flush) {
  const std::string bytes = NativeFromPath(text);
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  if (flush) std::fflush(stdout);
}

void WriteTerminalNote(std::u16string_view text) {
  std::FILE* out = StdoutIsTerminal() ? stdout : stderr;
  std::fflush(stdout);
  const std::string bytes = NativeFromPath(text);
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fflush(out);
}

}  // namespace nusk
