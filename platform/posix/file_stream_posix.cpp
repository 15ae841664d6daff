// FileStream over open(2)/pread(2).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_stream.h"
#include "platform/system_services.h"
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

void FillInfo(const struct stat& st, PathInfo* info) {
  info->is_folder = S_ISDIR(st.st_mode);
  info->size = info->is_folder ? 0 : static_cast<uint64_t>(st.st_size);
  info->mtime_unix = st.st_mtim.tv_sec;
  info->stamp = (static_cast<uint64_t>(st.st_mtim.tv_sec) * 1000000000ULL + static_cast<uint64_t>(st.st_mtim.tv_nsec)) ^
                (static_cast<uint64_t>(st.st_ino) << 1);
}

bool BadName(const std::string& name) {
  return name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos;
}

// Opens one entry of the folder dir without following a link and without waiting: the
// entry is looked at first and opened only when it is a regular file or a folder, and the
// opened item must be the one looked at (a swap in between fails). -1 for anything else.
int OpenEntry(int dir, const std::string& name, bool must_be_folder, struct stat* st) {
  struct stat seen;
  if (::fstatat(dir, name.c_str(), &seen, AT_SYMLINK_NOFOLLOW) != 0) return -1;
  if (!S_ISDIR(seen.st_mode) && (must_be_folder || !S_ISREG(seen.st_mode))) return -1;
  int flags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | (must_be_folder ? O_DIRECTORY : 0);
  int fd = ::openat(dir, name.c_str(), flags);
  if (fd < 0) return -1;
  if (::fstat(fd, st) != 0 || st->st_dev != seen.st_dev || st->st_ino != seen.st_ino ||
      !(S_ISDIR(st->st_mode) || S_ISREG(st->st_mode))) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

bool system_services::OpenBelow(const std::u16string& root, const std::vector<std::u16string>& names, OpenedItem* out) {
  out->file.reset();
  int fd = ::open(NativeFromPath(root).c_str(), O_RDONLY | O_CLOEXEC | O_DIRECTORY | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return false;
  }
  for (size_t i = 0; i < names.size(); ++i) {
    std::string name = NativeFromPath(names[i]);
    bool last = i + 1 == names.size();
    int next = BadName(name) ? -1 : OpenEntry(fd, name, !last, &st);
    ::close(fd);
    if (next < 0) return false;
    fd = next;
  }
  FillInfo(st, &out->info);
  if (S_ISDIR(st.st_mode)) {
    ::close(fd);
    return true;
  }
  int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  out->file = std::make_unique<PosixFileStream>(fd);
  return true;
}

bool StatPath(const std::u16string& path, PathInfo* info) {
  struct stat st;
  if (::stat(NativeFromPath(path).c_str(), &st) != 0) return false;
  FillInfo(st, info);
  return true;
}

std::unique_ptr<FileStream> system_services::OpenFileStream(const std::u16string& path, bool* not_regular) {
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
