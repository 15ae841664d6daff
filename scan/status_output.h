// Where the build's status lines go: the status pipe when the process serves a client
// (build server), else standard output. And IStatusInfoListener, the receiver of status
// text relayed from a build running elsewhere.
#pragma once
#include <cstdarg>
#include <mutex>
#include <string>
#include <string_view>

namespace nusk {

class MessagePipe;

// Receives status text of a build (relayed from a child, a build service or the build
// server; or printed by a build in this process). Called on the relaying thread.
class IStatusInfoListener {
 public:
  virtual ~IStatusInfoListener() = default;
  // source is the tag of the sender ("BUILD"); text is one status piece, no line feed.
  virtual void OnStatusInfo(std::u16string_view source, std::string_view text) = 0;
};

class StatusOutput {
 public:
  // The process's status output.
  static StatusOutput& Get();

  // Sends every later status text to the pipe, as one message each (null: console).
  // The pipe must outlive its use here; set null before closing it.
  void SetPipe(MessagePipe* pipe);

  // A status text: on the pipe the text and its terminating NUL as one message; on the
  // console the text and a line feed, flushed. False when the pipe write failed.
  bool Print(std::string_view text);
  // printf-style; the result is cut to 8190 characters.
  bool Printf(const char* format, ...);

 private:
  std::mutex mu_;
  MessagePipe* pipe_ = nullptr;
};

}  // namespace nusk
