#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/volume_lister.h"
#include "util/utf.h"

namespace nusk {

namespace {

constexpr uint64_t kUnixEpochFileTime = 116444736000000000ULL;

uint64_t FileTimeOf(const struct timespec& ts) {
  if (ts.tv_sec < -11644473600LL) return 0;
  return kUnixEpochFileTime + static_cast<uint64_t>(ts.tv_sec) * 10000000ULL +
         static_cast<uint64_t>(ts.tv_nsec) / 100;
}

class PosixVolumeLister : public VolumeLister {
 public:
  explicit PosixVolumeLister(dev_t device) : device_(device) {}

  Status List(const std::u16string& folder, std::vector<VolumeEntry>* entries) override {
    entries->clear();
    std::string path = ToUtf8(folder);
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return Status::Error(path + ": " + std::strerror(errno));
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
      ::close(fd);
      return Status::Error(path + ": " + std::strerror(errno));
    }
    while (struct dirent* de = ::readdir(dir)) {
      const char* n = de->d_name;
      if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
      struct stat st;
      if (::fstatat(fd, n, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // vanished meanwhile
      VolumeEntry e;
      e.name = FromUtf8(n);
      e.is_folder = S_ISDIR(st.st_mode);
      e.no_descend = S_ISLNK(st.st_mode) || (e.is_folder && st.st_dev != device_);
      e.size = e.is_folder ? 0 : static_cast<uint64_t>(st.st_size);
      e.mtime = FileTimeOf(st.st_mtim);
      e.attributes = e.is_folder ? 0x10 : 0x20;
      if (n[0] == '.') e.attributes |= 0x2;
      if (S_ISLNK(st.st_mode)) e.attributes |= 0x400;
      entries->push_back(std::move(e));
    }
    ::closedir(dir);
    return Status::Ok();
  }

 private:
  dev_t device_;
};

}  // namespace

Status VolumeLister::Create(const std::u16string& root, std::unique_ptr<VolumeLister>* lister) {
  struct stat st;
  std::string path = ToUtf8(root);
  if (::stat(path.c_str(), &st) != 0) return Status::Error(path + ": " + std::strerror(errno));
  if (!S_ISDIR(st.st_mode)) return Status::Error(path + ": not a folder");
  lister->reset(new PosixVolumeLister(st.st_dev));
  return Status::Ok();
}

}  // namespace nusk
