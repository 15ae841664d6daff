// RawVolume over a POSIX file descriptor: image files and block devices.
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include "platform/raw_volume.h"
#include "platform/system_services.h"
#include "platform/native_name.h"

namespace nusk {
namespace {

class PosixRawVolume : public RawVolume {
 public:
  explicit PosixRawVolume(int fd) : fd_(fd) {}
  ~PosixRawVolume() override { close(fd_); }

  int64_t ReadAt(uint64_t offset, void* buffer, size_t length) override {
    size_t done = 0;
    char* out = static_cast<char*>(buffer);
    while (done < length) {
      ssize_t n = pread(fd_, out + done, length - done, static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        return done > 0 ? static_cast<int64_t>(done) : -1;
      }
      if (n == 0) break;  // end of the volume
      done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
  }

  // No file system sits behind an image file: the caller reads the boot sector.
  bool QueryNtfsGeometry(NtfsVolumeGeometry*) override { return false; }
  bool ReadFileRecord(uint64_t, std::string*, uint64_t*) override { return false; }
  bool FileSizeById(uint64_t, uint64_t*) override { return false; }

 private:
  int fd_;
};

}  // namespace

Status system_services::OpenRawVolume(const std::u16string& path, std::unique_ptr<RawVolume>* volume) {
  volume->reset();
  std::string native = NativeFromPath(path);
  int fd = open(native.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Status::Error("cannot open " + native + ": " + strerror(errno));
  volume->reset(new PosixRawVolume(fd));
  return Status::Ok();
}

}  // namespace nusk
