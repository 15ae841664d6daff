// Message pipes between a build server and the process that asked it for a build.
//
// Windows: named pipes "\\.\pipe\<name>" of message type, read in message mode.
// POSIX: a sequenced-packet socket in the abstract namespace named after the pipe, so
// the same conversation (one message per write, end = the other side closing) works.
// A pipe object is used by one thread at a time.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "util/status.h"

namespace nusk {

class MessagePipe {
 public:
  virtual ~MessagePipe() = default;

  // Server side: creates the pipe (full access for everyone, so an unprivileged client
  // can connect to an elevated server) and waits up to timeout_ms for one client.
  // Fails when the pipe cannot be created or no client came in time.
  static Status Serve(const std::u16string& name, uint32_t timeout_ms, std::unique_ptr<MessagePipe>* pipe);

  // Client side: connects to the pipe in message read mode. While the server is busy
  // with another client, waits up to busy_wait_ms. Fails at once when there is no server.
  static Status Connect(const std::u16string& name, uint32_t busy_wait_ms, std::unique_ptr<MessagePipe>* pipe);

  // Sends bytes as one message (may be empty). False when the other side is gone.
  virtual bool WriteMessage(std::string_view bytes) = 0;

  enum class ReadResult { kPiece, kEnd, kError };
  // Reads the next piece of at most max_bytes: a longer message arrives in several
  // pieces. kEnd: an empty message arrived or the other side closed the pipe; kError:
  // any other failure.
  virtual ReadResult ReadPiece(size_t max_bytes, std::string* piece) = 0;
};

}  // namespace nusk
