#include "scan/status_output.h"

#include <cstdio>

#include "platform/pipe.h"

namespace nusk {

StatusOutput& StatusOutput::Get() {
  static StatusOutput output;
  return output;
}

void StatusOutput::SetPipe(MessagePipe* pipe) {
  std::lock_guard<std::mutex> lock(mu_);
  pipe_ = pipe;
}

bool StatusOutput::Print(std::string_view text) {
  std::lock_guard<std::mutex> lock(mu_);
  if (pipe_) {
    std::string message(text);
    message.push_back('\0');
    return pipe_->WriteMessage(message);
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
  return true;
}

bool StatusOutput::Printf(const char* format, ...) {
  char buf[8191];
  va_list ap;
  va_start(ap, format);
  int n = std::vsnprintf(buf, sizeof(buf), format, ap);
  va_end(ap);
  if (n < 0) return false;
  return Print(std::string_view(buf, static_cast<size_t>(n) < sizeof(buf) ? static_cast<size_t>(n) : sizeof(buf) - 1));
}

}  // namespace nusk
