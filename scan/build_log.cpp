#include "scan/build_log.h"

#include "platform/append_file.h"
#include "platform/env.h"

namespace nusk {

BuildLog::BuildLog() = default;
BuildLog::~BuildLog() = default;

std::u16string BuildLog::PathIn(const std::u16string& home, Env* env) {
  std::u16string path = home;
  char16_t sep = env->PathSeparator();
  if (!path.empty() && path.back() != sep) path.push_back(sep);
  return path + u"nusk.build.log";
}

Status BuildLog::Open(Env* env, const std::u16string& home, bool append) {
  std::unique_ptr<AppendFile> file;
  Status s = env->NewAppendFile(PathIn(home, env), append, &file);
  if (!s.ok()) return s;
  std::lock_guard<std::mutex> lock(mu_);
  file_ = std::move(file);
  failed_lines_ = 0;
  return Status::Ok();
}

void BuildLog::Close() {
  std::lock_guard<std::mutex> lock(mu_);
  file_.reset();
}

bool BuildLog::is_open() const {
  std::lock_guard<std::mutex> lock(mu_);
  return file_ != nullptr;
}

void BuildLog::Line(std::string_view text) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!file_) return;
  std::string line(text);
  line.push_back('\n');
  if (!file_->Write(line)) ++failed_lines_;  // a log that cannot be written must not stop the build
}

int BuildLog::failed_lines() const {
  std::lock_guard<std::mutex> lock(mu_);
  return failed_lines_;
}

}  // namespace nusk
