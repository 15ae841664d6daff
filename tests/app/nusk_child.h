// Helpers for tests that run a program as a child process.
#pragma once
#include <string>

#include "platform/env.h"
#include "platform/process.h"
#include "util/utf.h"

namespace nusk::testing {

// A path of the build machine as this test program sees it: under Wine the Linux root
// is drive Z:.
inline std::u16string NativePath(const std::string& posix_path) {
  std::u16string path = FromUtf8(posix_path);
  if (Env::Default()->PathSeparator() == u'\\' && !path.empty() && path[0] == u'/') {
    for (char16_t& c : path) {
      if (c == u'/') c = u'\\';
    }
    path.insert(0, u"Z:");
  }
  return path;
}

inline std::u16string NuskExecutable() {
  bool windows = Env::Default()->PathSeparator() == u'\\';
  return NativePath(std::string(NUSK_BINARY_DIR) + (windows ? "/app/nusk.exe" : "/app/nusk"));
}

// Text written by a child, with the CR LF of Windows text-mode streams turned into LF.
inline std::string PlainText(const std::string& text) {
  std::string plain;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) plain.push_back(text[i]);
  }
  return plain;
}

}  // namespace nusk::testing
