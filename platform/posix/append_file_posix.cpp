#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/append_file.h"
#include "platform/system_services.h"
#include "platform/native_name.h"
#include "util/utf.h"

namespace nusk {

namespace {

class PosixAppendFile : public AppendFile {
 public:
  explicit PosixAppendFile(int fd) : fd_(fd) {}
  ~PosixAppendFile() override { ::close(fd_); }

  bool Write(std::string_view bytes) override {
    while (!bytes.empty()) {
      ssize_t n = ::write(fd_, bytes.data(), bytes.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;  // write() hands the bytes to the system at once: nothing to flush
  }

 private:
  int fd_;
};

}  // namespace

Status system_services::NewAppendFile(const std::u16string& path, bool append, std::unique_ptr<AppendFile>* file) {
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
  int fd = ::open(NativeFromPath(path).c_str(), flags, 0644);
  if (fd < 0) return Status::Error("cannot open " + ToUtf8(path) + ": " + std::strerror(errno));
  file->reset(new PosixAppendFile(fd));
  return Status::Ok();
}

}  // namespace nusk
