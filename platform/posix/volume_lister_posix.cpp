#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstring>

#include "platform/volume_lister.h"
#include "platform/system_services.h"
#include "platform/native_name.h"

namespace nusk {

namespace {

constexpr uint64_t kUnixEpochFileTime = 116444736000000000ULL;

uint64_t FileTimeOf(int64_t sec, uint32_t nsec) {
  if (sec < -11644473600LL) return 0;
  return kUnixEpochFileTime + static_cast<uint64_t>(sec) * 10000000ULL + nsec / 100;
}

// Most names are ASCII without '\': widen them in place, reusing the string's buffer.
// Others go through the name decoder, which keeps a '\' and bytes that are no UTF-8 in a
// form that converts back to the same bytes (platform/native_name.h).
void AssignName(const char* n, std::u16string* out) {
  size_t len = std::strlen(n);
  bool ascii = true;
  for (size_t i = 0; i < len; ++i) ascii &= static_cast<unsigned char>(n[i]) < 0x80 && n[i] != '\\';
  if (!ascii) {
    *out = NameFromNative(std::string_view(n, len));
    return;
  }
  out->resize(len);
  char16_t* d = out->data();
  for (size_t i = 0; i < len; ++i) d[i] = static_cast<unsigned char>(n[i]);
}

// What the walk needs of one entry. statx is asked only for type, size and time and
// allowed cached attributes (no round trip on network file systems), and must not mount
// an automount point it meets (unlike fstatat, statx does so unless told not to): an
// automount point is another file system, listed but never entered. Kernels without
// statx get fstatat.
struct EntryStat {
  mode_t mode;
  dev_t device;
  uint64_t size;
  uint64_t mtime;
};

bool StatEntry(int dir_fd, const char* name, EntryStat* out) {
#ifdef STATX_TYPE
  static std::atomic<bool> have_statx{true};
  if (have_statx.load(std::memory_order_relaxed)) {
    struct statx sx;
    constexpr int kFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC;
    if (::statx(dir_fd, name, kFlags, STATX_TYPE | STATX_SIZE | STATX_MTIME, &sx) == 0) {
      out->mode = sx.stx_mode;
      out->device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
      out->size = sx.stx_size;
      out->mtime = FileTimeOf(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
      return true;
    }
    if (errno != ENOSYS) return false;
    have_statx.store(false, std::memory_order_relaxed);
  }
#endif
  struct stat st;
  if (::fstatat(dir_fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
  out->mode = st.st_mode;
  out->device = st.st_dev;
  out->size = static_cast<uint64_t>(st.st_size);
  out->mtime = FileTimeOf(st.st_mtim.tv_sec, static_cast<uint32_t>(st.st_mtim.tv_nsec));
  return true;
}

// File systems whose getdents64 fills the buffer until it is full or the folder ends, so
// a call that left room for the longest possible entry has reached the end. Elsewhere
// (network and FUSE file systems may answer a page at a time) the walk asks again until
// the system answers 0.
bool FillsWholeBuffer(const char* root) {
  struct statfs fs;
  if (::statfs(root, &fs) != 0) return false;
  switch (static_cast<unsigned long>(fs.f_type)) {
    case 0xEF53:      // ext2, ext3, ext4
    case 0x58465342:  // xfs
    case 0x9123683E:  // btrfs
    case 0x01021994:  // tmpfs
      return true;
    default: return false;
  }
}

// The longest entry getdents64 can return: header, a 255-byte name, its NUL, alignment.
constexpr size_t kLongestEntry = (offsetof(struct dirent64, d_name) + 256 + 7) / 8 * 8;

// Reads folders with getdents64 into a buffer of its own (no DIR stream: that costs an
// fstat, an fcntl and an allocation per folder) and keeps the entries' strings between
// calls, so listing a folder allocates only for names longer than any seen before. On
// file systems that fill the buffer, a folder whose entries fit in one call costs one
// call instead of two (the second would only say the folder ended).
class PosixVolumeLister : public VolumeLister {
 public:
  PosixVolumeLister(dev_t device, bool fills_buffer) : device_(device), fills_buffer_(fills_buffer) {}

  Status List(const std::u16string& folder, std::vector<VolumeEntry>* entries) override {
    size_t count = 0;
    std::string path = NativeFromPath(folder);
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
      entries->clear();
      return Status::Error(path + ": " + std::strerror(errno));
    }
    for (;;) {
      ssize_t got = ::getdents64(fd, buffer_, sizeof buffer_);
      if (got < 0) {
        int error = errno;
        ::close(fd);
        entries->clear();
        return Status::Error(path + ": " + std::strerror(error));
      }
      if (got == 0) break;
      const bool ended = fills_buffer_ && sizeof buffer_ - static_cast<size_t>(got) >= kLongestEntry;
      for (ssize_t at = 0; at < got;) {
        const auto* de = reinterpret_cast<const struct dirent64*>(buffer_ + at);
        at += de->d_reclen;
        const char* n = de->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
        EntryStat st;
        if (!StatEntry(fd, n, &st)) continue;  // vanished meanwhile
        if (count == entries->size()) entries->emplace_back();
        VolumeEntry& e = (*entries)[count++];
        AssignName(n, &e.name);
        bool link = S_ISLNK(st.mode);
        e.is_folder = S_ISDIR(st.mode);
        e.no_descend = link || (e.is_folder && st.device != device_);
        e.size = e.is_folder ? 0 : st.size;
        e.mtime = st.mtime;
        e.attributes = e.is_folder ? 0x10 : 0x20;
        if (n[0] == '.') e.attributes |= 0x2;
        if (link) e.attributes |= 0x400;
      }
      if (ended) break;
    }
    ::close(fd);
    entries->resize(count);
    return Status::Ok();
  }

 private:
  dev_t device_;
  bool fills_buffer_;
  alignas(8) char buffer_[32768];
};

}  // namespace

Status system_services::NewVolumeLister(const std::u16string& root, std::unique_ptr<VolumeLister>* lister) {
  struct stat st;
  std::string path = NativeFromPath(root);
  if (::stat(path.c_str(), &st) != 0) return Status::Error(path + ": " + std::strerror(errno));
  if (!S_ISDIR(st.st_mode)) return Status::Error(path + ": not a folder");
  lister->reset(new PosixVolumeLister(st.st_dev, FillsWholeBuffer(path.c_str())));
  return Status::Ok();
}

}  // namespace nusk
