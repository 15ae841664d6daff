// The changing tail of the crash report: two fixed buffers, so the crash handler never
// reads a buffer that is being written and never allocates.
#include <atomic>
#include <cstring>

#include "platform/crash.h"

namespace nusk {

namespace {

constexpr size_t kTailBytes = 2048;
char g_tail[2][kTailBytes];
size_t g_tail_size[2];
std::atomic<int> g_tail_current{-1};

}  // namespace

void SetCrashReportTail(std::string_view lines) {
  const int next = g_tail_current.load(std::memory_order_acquire) == 0 ? 1 : 0;
  size_t n = lines.size();
  const bool cut = n > kTailBytes - 1;
  if (cut) {
    n = kTailBytes - 2;
    while (n > 0 && (static_cast<unsigned char>(lines[n]) & 0xC0) == 0x80) --n;  // not inside a character
  }
  std::memcpy(g_tail[next], lines.data(), n);
  if (cut) g_tail[next][n++] = '\n';  // a cut text still ends its line
  g_tail_size[next] = n;
  g_tail_current.store(next, std::memory_order_release);
}

std::string_view CrashReportTail() {
  const int current = g_tail_current.load(std::memory_order_acquire);
  return current < 0 ? std::string_view() : std::string_view(g_tail[current], g_tail_size[current]);
}

}  // namespace nusk
