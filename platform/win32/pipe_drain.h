// Reading a child's output pipe to its end, shared by the child-process runner and the
// build relay. Windows only; the handle is a pipe's read end (HANDLE).
#pragma once
#include <cstddef>
#include <functional>
#include <string_view>

namespace nusk {

// Hands everything the pipe holds to sink, in pieces of at most max_piece bytes, until the
// writer has ended and the pipe is empty (or every write end is closed). A blocking read
// would wait for every copy of the write end to close, and a process the child started
// (Wine starts its desktop process on demand) may hold one far longer than the child
// lives; so the pipe is polled, and wait_for_end, called only while the pipe is empty,
// waits a little and answers whether the writer has ended. Once it has, the pipe is read
// one last time. Does not close the pipe. Runs on the calling thread.
void DrainPipe(void* pipe, size_t max_piece, const std::function<bool()>& wait_for_end,
               const std::function<void(std::string_view)>& sink);

}  // namespace nusk
