// FileStream over open(2)/pread(2).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_stream.h"
#include "platform/native_name.h"

namespace nusk {

namespace {

class PosixFileStream : public FileStream {
 public:
  explicit PosixFileStream(int fd) : fd_(fd) {}
  ~PosixFileStream() override { ::close(fd_); }
  int64_t ReadAt(uint64_t offset, char* buffer, size_t size) override {
    for (;;) {
      ssize_t n = ::pread(fd_, buffer, size, static_cast<off_t>(offset));
      if (n >= 0) return n;
      if (errno != EINTR) return -1;
    }
  }

 private:
  int fd_;
};

}  // namespace

bool StatPath(const std::u16string& path, PathInfo* info) {
  struct stat st;
  if (::stat(NativeFromPath(path).c_str(), &st) != 0) return false;
  info->is_folder = S_ISDIR(st.st_mode);
  info->size = info->is_folder ? 0 : static_cast<uint64_t>(st.st_size);
  info->mtime_unix = st.st_mtim.tv_sec;
  return true;
}

std::unique_ptr<FileStream> FileStream::Open(const std::u16string& path, bool* not_regular) {
  if (not_regular) *not_regular = false;
  // Non-blocking, so a FIFO without writer or a device cannot hold the open; the kind is
  // then checked on the opened file itself, not on a name that may change meanwhile.
  int fd = ::open(NativeFromPath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return nullptr;
  struct stat st;
  const bool examined = ::fstat(fd, &st) == 0;
  if (!examined || !S_ISREG(st.st_mode)) {
    if (not_regular && examined) *not_regular = !S_ISDIR(st.st_mode);
    ::close(fd);
    return nullptr;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags != -1) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return std::make_unique<PosixFileStream>(fd);
}

}  // namespace nusk
