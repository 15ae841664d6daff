#include "platform/process.h"

namespace nusk {

Status RunChild(const std::u16string& program, const std::vector<std::u16string>& args, const ChildOptions& options,
                uint32_t timeout_ms, ChildResult* result) {
  std::unique_ptr<ChildProcess> child;
  Status s = ChildProcess::Start(program, args, options, &child);
  if (!s.ok()) return s;
  if (!child->Wait(timeout_ms, &result->exit_code)) {
    return Status::Error("child process did not end within " + std::to_string(timeout_ms) + " ms");
  }
  result->out = child->Stdout();
  result->err = child->Stderr();
  return Status::Ok();
}

}  // namespace nusk
