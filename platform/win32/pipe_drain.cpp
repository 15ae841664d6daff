#include "platform/win32/pipe_drain.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace nusk {

void DrainPipe(void* pipe, size_t max_piece, const std::function<bool()>& wait_for_end,
               const std::function<void(std::string_view)>& sink) {
  std::vector<char> buf(max_piece);
  bool ended = false;
  for (;;) {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return;  // all writers gone
    if (available > 0) {
      DWORD got = 0;
      const DWORD want = static_cast<DWORD>(std::min<size_t>(available, buf.size()));
      if (!ReadFile(pipe, buf.data(), want, &got, nullptr) || got == 0) return;
      sink(std::string_view(buf.data(), got));
      continue;
    }
    if (ended) return;
    ended = wait_for_end();
  }
}

}  // namespace nusk
