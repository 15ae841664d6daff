// Env over POSIX: UTF-16 paths become bytes as platform/native_name.h says (names that
// are not UTF-8 or hold a '\' keep their bytes); locks are flock()ed files in the folder they guard.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/env.h"
#include "platform/system_services.h"
#include "platform/native_name.h"
#include "util/utf.h"

namespace nusk {

namespace {

// FILETIME of the Unix epoch.
constexpr uint64_t kUnixEpochFileTime = 116444736000000000ULL;

std::string Native(const std::u16string& path) { return NativeFromPath(path); }

Status ErrnoStatus(const char* what, const std::u16string& path, int err) {
  return Status::Error(std::string(what) + " " + ToUtf8(path) + ": " + std::strerror(err));
}

// Opens `path` for reading and tells its size; on failure nothing stays open.
Status OpenForReading(const std::u16string& path, int* fd, size_t* size) {
  *fd = ::open(Native(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (*fd < 0) return ErrnoStatus("cannot open", path, errno);
  struct stat st;
  if (::fstat(*fd, &st) != 0) {
    int err = errno;
    ::close(*fd);
    return ErrnoStatus("cannot examine", path, err);
  }
  *size = static_cast<size_t>(st.st_size);
  return Status::Ok();
}

uint64_t ToFileTime(const struct timespec& ts) {
  if (ts.tv_sec < -11644473600LL) return 0;
  return kUnixEpochFileTime + static_cast<uint64_t>(ts.tv_sec) * 10000000ULL + static_cast<uint64_t>(ts.tv_nsec) / 100;
}

// flock() on a lock file inside the folder it guards. Locks belong to the open file
// description, so two objects of one process exclude each other like two processes.
class PosixFolderLock : public NamedMutex {
 public:
  explicit PosixFolderLock(std::string lock_path) : path_(std::move(lock_path)) {}
  ~PosixFolderLock() override { Unlock(); }

  Status TryLock(bool* taken) override {
    *taken = fd_ >= 0;
    if (fd_ >= 0) return Status::Ok();
    // O_NOFOLLOW: a planted link must not make us create or lock a file elsewhere;
    // O_NONBLOCK: a planted FIFO must not hang the open.
    int fd = ::open(path_.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) return Problem("cannot open the lock file", errno);
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      int err = errno;
      ::close(fd);
      return Status::Error("the lock file " + path_ + " is not a regular file" +
                           (err ? std::string(": ") + std::strerror(err) : std::string()));
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      int err = errno;
      ::close(fd);
      return err == EWOULDBLOCK ? Status::Ok() : Problem("cannot lock", err);
    }
    fd_ = fd;
    *taken = true;
    return Status::Ok();
  }

  void Unlock() override {
    if (fd_ < 0) return;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
  }

 private:
  Status Problem(const char* what, int err) const {
    return Status::Error(std::string(what) + " " + path_ + ": " + std::strerror(err));
  }

  std::string path_;
  int fd_ = -1;
};

// A private read-only mapping of a whole file; with a descriptor (fd >= 0, closed with
// the view), pieces are read from the file with pread instead of through the mapping.
class MappedFileView : public FileView {
 public:
  MappedFileView(void* data, size_t size, int fd) : data_(data), size_(size), fd_(fd) {}
  ~MappedFileView() override {
    if (size_ != 0) ::munmap(data_, size_);
    if (fd_ >= 0) ::close(fd_);
  }
  std::string_view bytes() const override { return {static_cast<const char*>(data_), size_}; }

  bool ReadAt(uint64_t at, char* dst, uint64_t size) const override {
    if (fd_ < 0) return FileView::ReadAt(at, dst, size);
    if (at > size_ || size > size_ - at) return false;
    while (size != 0) {
      // Linux moves at most 2 GiB - 4 KiB per call; ask for 1 GiB at a time.
      const size_t want = static_cast<size_t>(std::min<uint64_t>(size, uint64_t{1} << 30));
      const ssize_t n = ::pread(fd_, dst, want, static_cast<off_t>(at));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;  // a read error, or the file ends before its old size
      at += static_cast<uint64_t>(n);
      dst += n;
      size -= static_cast<uint64_t>(n);
    }
    return true;
  }

 private:
  void* data_;
  size_t size_;
  int fd_;
};

class PosixEnv : public SystemServicesEnv {
  // The whole file mapped; read_ahead fills the page tables in one call (MAP_POPULATE),
  // much cheaper than one fault per page when the loader then walks it; else pages are
  // read when first touched. keep_open: the view keeps the descriptor for its reads.
  // Files a mapping cannot reach (special files, some network file systems) are read
  // into memory instead.
  Status MapFile(const std::u16string& path, bool read_ahead, bool keep_open, std::unique_ptr<FileView>* view) {
    int fd;
    size_t size;
    Status s = OpenForReading(path, &fd, &size);
    if (!s.ok()) return s;
    void* data = nullptr;
    if (size != 0) {
      data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | (read_ahead ? MAP_POPULATE : 0), fd, 0);
      if (data == MAP_FAILED) {
        ::close(fd);
        return Env::ViewWholeFile(path, view);
      }
    }
    if (!keep_open) {
      ::close(fd);  // the mapping keeps the file's pages
      fd = -1;
    }
    *view = std::make_unique<MappedFileView>(data, size, fd);
    return Status::Ok();
  }

 public:
  char16_t PathSeparator() const override { return u'/'; }

  Status ReadWholeFile(const std::u16string& path, std::string* bytes) override {
    bytes->clear();
    int fd;
    size_t size;
    Status s = OpenForReading(path, &fd, &size);
    if (!s.ok()) return s;
    bytes->resize(size);
    size_t done = 0;
    while (done < bytes->size()) {
      ssize_t n = ::read(fd, bytes->data() + done, bytes->size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        int err = n < 0 ? errno : EIO;
        ::close(fd);
        bytes->clear();
        return ErrnoStatus("cannot read", path, err);
      }
      done += static_cast<size_t>(n);
    }
    ::close(fd);
    return Status::Ok();
  }

  Status ViewWholeFile(const std::u16string& path, std::unique_ptr<FileView>* view) override {
    return MapFile(path, true, false, view);
  }

  Status MapWholeFile(const std::u16string& path, std::unique_ptr<FileView>* view) override {
    return MapFile(path, false, false, view);
  }

  Status MapWholeFileWithReads(const std::u16string& path, std::unique_ptr<FileView>* view) override {
    return MapFile(path, false, true, view);
  }

  bool IdentifyFile(const std::u16string& path, FileIdentity* id) override {
    struct stat st;
    if (::stat(Native(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    id->size = static_cast<uint64_t>(st.st_size);
    id->write_time = ToFileTime(st.st_mtim);
    // The change time cannot be set by a program (utimensat sets it to now), so a file
    // written in place and given its old write time back still shows another one.
    id->change_time = ToFileTime(st.st_ctim);
    id->volume = static_cast<uint64_t>(st.st_dev);
    id->file_id = static_cast<uint64_t>(st.st_ino);
    return true;
  }

  Status WriteWholeFile(const std::u16string& path, std::string_view bytes, bool flush) override {
    int fd = ::open(Native(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return ErrnoStatus("cannot create", path, errno);
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        int err = n < 0 ? errno : EIO;
        ::close(fd);
        return ErrnoStatus("cannot write", path, err);
      }
      done += static_cast<size_t>(n);
    }
    if (flush && ::fsync(fd) != 0) {
      int err = errno;
      ::close(fd);
      return ErrnoStatus("cannot flush", path, err);
    }
    if (::close(fd) != 0) return ErrnoStatus("cannot close", path, errno);
    return Status::Ok();
  }

  Status RenameFile(const std::u16string& from, const std::u16string& to) override {
    if (::rename(Native(from).c_str(), Native(to).c_str()) != 0) return ErrnoStatus("cannot rename", from, errno);
    return Status::Ok();
  }

  Status RemoveFile(const std::u16string& path) override {
    if (::unlink(Native(path).c_str()) != 0 && errno != ENOENT) return ErrnoStatus("cannot delete", path, errno);
    return Status::Ok();
  }

  bool FileExists(const std::u16string& path) override {
    struct stat st;
    return ::stat(Native(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
  }

  bool FolderExists(const std::u16string& path) override {
    struct stat st;
    return ::stat(Native(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  int64_t FileSize(const std::u16string& path) override {
    struct stat st;
    if (::stat(Native(path).c_str(), &st) != 0) return -1;
    return st.st_size;
  }

  Status CreateFolder(const std::u16string& path) override {
    std::string p = Native(path);
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    if (::mkdir(p.c_str(), 0755) != 0 && errno != EEXIST) return ErrnoStatus("cannot create folder", path, errno);
    return Status::Ok();
  }

  Status RemoveFolder(const std::u16string& path) override {
    if (::rmdir(Native(path).c_str()) != 0 && errno != ENOENT) return ErrnoStatus("cannot delete folder", path, errno);
    return Status::Ok();
  }

  Status SyncFolder(const std::u16string& path) override {
    int fd = ::open(Native(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return ErrnoStatus("cannot open folder", path, errno);
    int rc = ::fsync(fd);
    int err = errno;
    ::close(fd);
    if (rc != 0 && err != EINVAL) return ErrnoStatus("cannot flush folder", path, err);
    return Status::Ok();
  }

  Status ListFolder(const std::u16string& path, const std::function<bool(const DirEntry&)>& on_entry) override {
    std::string dir = Native(path);
    DIR* d = ::opendir(dir.c_str());
    if (!d) return ErrnoStatus("cannot list", path, errno);
    int dfd = ::dirfd(d);
    DirEntry entry;
    while (struct dirent* de = ::readdir(d)) {
      if (std::strcmp(de->d_name, ".") == 0 || std::strcmp(de->d_name, "..") == 0) continue;
      struct stat st;
      if (::fstatat(dfd, de->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // vanished meanwhile
      entry.name = NameFromNative(de->d_name);
      entry.is_link = S_ISLNK(st.st_mode);
      entry.is_folder = S_ISDIR(st.st_mode);
      entry.size = entry.is_folder ? 0 : static_cast<uint64_t>(st.st_size);
      entry.mtime = ToFileTime(st.st_mtim);
      entry.attributes = entry.is_folder ? 0x10 : 0x20;
      if (de->d_name[0] == '.') entry.attributes |= 0x2;  // dot files are the hidden files of POSIX
      if (entry.is_link) entry.attributes |= 0x400;
      if (!on_entry(entry)) break;
    }
    ::closedir(d);
    return Status::Ok();
  }

  std::u16string ExecutablePath() override {
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    if (n <= 0) return std::u16string();
    return PathFromNative(std::string_view(buf, static_cast<size_t>(n)));
  }

  uint64_t NowFileTime() override {
    struct timespec ts;
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return ToFileTime(ts);
  }

  uint64_t MonotonicMs() override {
    struct timespec ts;
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000 + static_cast<uint64_t>(ts.tv_nsec) / 1000000;
  }

  std::unique_ptr<NamedMutex> CreateFolderLock(const std::u16string& folder, const std::u16string& tag) override {
    std::string path = Native(folder);
    if (path.empty() || path.back() != '/') path.push_back('/');
    for (char16_t c : tag) path.push_back(static_cast<char>(c >= u'A' && c <= u'Z' ? c + 32 : c));
    return std::make_unique<PosixFolderLock>(path + ".lock");
  }

  void DebugOutput(std::u16string_view text) override {
    if (std::getenv("NUSK_DEBUG")) std::fprintf(stderr, "%s\n", ToUtf8(text).c_str());
  }

  std::u16string GetEnvVar(std::u16string_view name) override {
    const char* v = std::getenv(ToUtf8(name).c_str());
    return v ? PathFromNative(v) : std::u16string();
  }
};

}  // namespace

Env* Env::Default() {
  static PosixEnv env;
  return &env;
}

}  // namespace nusk
