#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/env.h"
#include "platform/native_name.h"
#include "platform/thumbnail.h"

namespace nusk {

namespace {

// A PNG this small is cheaper to send than to scale, and the page scales it on display.
constexpr int64_t kMaxServedAsIs = 512 * 1024;

// The 8-byte signature followed by an IHDR chunk of length 13 with a non-zero size.
bool LooksLikePng(const std::string& bytes) {
  static const char kHead[] = "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR";
  if (bytes.size() < 24 || bytes.compare(0, 16, std::string(kHead, 16)) != 0) return false;
  auto u32 = [&](size_t at) {
    return (uint32_t{static_cast<uint8_t>(bytes[at])} << 24) | (uint32_t{static_cast<uint8_t>(bytes[at + 1])} << 16) |
           (uint32_t{static_cast<uint8_t>(bytes[at + 2])} << 8) | uint32_t{static_cast<uint8_t>(bytes[at + 3])};
  };
  return u32(16) != 0 && u32(20) != 0;
}

}  // namespace

std::u16string ThumbnailFolder() {
  Env* env = Env::Default();
  std::u16string base = env->GetEnvVar(u"XDG_CACHE_HOME");
  if (base.empty() || base[0] != u'/') {
    base = env->GetEnvVar(u"HOME");
    if (base.empty() || base[0] != u'/') return std::u16string();
    while (base.size() > 1 && base.back() == u'/') base.pop_back();
    base += u"/.cache";
  }
  while (base.size() > 1 && base.back() == u'/') base.pop_back();
  return (base == u"/" ? u"" : base) + u"/nusk/thumbs/";
}

Status PrepareThumbnailFolder(const std::u16string& folder) {
  std::string path = NativeFromPath(folder);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (path.empty() || path[0] != '/') return Status::Error("the thumbnail folder is not an absolute path");
  // Every missing level is made private to this user.
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string level = path.substr(0, slash);
    if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) {
      return Status::Error("cannot create " + level + ": " + std::strerror(errno));
    }
    if (slash == std::string::npos) break;
  }
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    return Status::Error(path + " is not a folder (a link or a file is there)");
  }
  if (st.st_uid != ::geteuid()) return Status::Error(path + " belongs to another user; it is not used");
  if ((st.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0) {
    return Status::Error(path + " is open to other users and cannot be made private");
  }
  return Status::Ok();
}

Status MakeThumbnailPng(const std::u16string& source, int /*size*/, const std::u16string& png_path) {
  std::string bytes;
  {
    int fd = ::open(NativeFromPath(source).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return Status::Error("cannot open the file");
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxServedAsIs;
    if (ok) {
      bytes.resize(static_cast<size_t>(st.st_size));
      ssize_t n = ::pread(fd, bytes.data(), bytes.size(), 0);
      ok = n == static_cast<ssize_t>(bytes.size());
    }
    ::close(fd);
    if (!ok || !LooksLikePng(bytes)) return Status::Error("no thumbnail maker for this file on this system");
  }
  int out = ::open(NativeFromPath(png_path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (out < 0) return Status::Error("cannot create the thumbnail file: " + std::string(std::strerror(errno)));
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(out, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  bool closed = ::close(out) == 0;
  if (done != bytes.size() || !closed) return Status::Error("cannot write the thumbnail file");
  return Status::Ok();
}

Status MakeThumbnailPixels(const std::u16string&, int, ThumbnailPixels*) {
  return Status::Error("no thumbnails in memory on this system");
}

Status GenericIconPixels(bool, ThumbnailPixels*) { return Status::Error("no icons on this system"); }

}  // namespace nusk
