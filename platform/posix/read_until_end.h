// Reading a descriptor to its end, shared by the child-process runner and the build relay.
#pragma once
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <string_view>
#include <vector>

namespace nusk {

// Hands everything read from fd to sink, in pieces of at most max_piece bytes, until end
// of file or an error other than an interrupted call. Does not close fd. Blocks the
// calling thread.
template <typename Sink>
void ReadUntilEnd(int fd, size_t max_piece, Sink&& sink) {
  std::vector<char> buf(max_piece);
  for (;;) {
    const ssize_t n = ::read(fd, buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    sink(std::string_view(buf.data(), static_cast<size_t>(n)));
  }
}

}  // namespace nusk
