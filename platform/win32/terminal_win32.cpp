#include "platform/terminal.h"

#include <windows.h>

#include <cstdio>

#include "util/utf.h"

namespace nusk {
namespace {

bool IsConsole(HANDLE h) {
  DWORD mode = 0;
  return h != INVALID_HANDLE_VALUE && h != nullptr && GetConsoleMode(h, &mode);
}

void WriteTo(HANDLE h, std::FILE* file, std::u16string_view text) {
  if (IsConsole(h)) {
    std::fflush(file);
    DWORD written = 0;
    WriteConsoleW(h, reinterpret_cast<const wchar_t*>(text.data()), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  const std::string bytes = ToUtf8(text);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
}

}  // namespace

bool StdoutIsTerminal() { return IsConsole(GetStdHandle(STD_OUTPUT_HANDLE)); }

void WriteStdout(std::u16string_view text, bool flush) {
  WriteTo(GetStdHandle(STD_OUTPUT_HANDLE), stdout, text);
  if (flush) std::fflush(stdout);
}

void WriteTerminalNote(std::u16string_view text) {
  std::fflush(stdout);
  if (StdoutIsTerminal()) {
    WriteTo(GetStdHandle(STD_OUTPUT_HANDLE), stdout, text);
  } else {
    WriteTo(GetStdHandle(STD_ERROR_HANDLE), stderr, text);
    std::fflush(stderr);
  }
}

}  // namespace nusk
