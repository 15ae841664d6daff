// Reading a file piece by piece, for sending large files without holding them in memory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace nusk {

struct PathInfo {
  bool is_folder = false;
  uint64_t size = 0;          // bytes; 0 for folders
  int64_t mtime_unix = 0;     // last write, whole seconds since 1970-01-01 UTC
};

// Looks a path up without opening it. False when it does not exist or cannot be examined.
bool StatPath(const std::u16string& path, PathInfo* info);

// A file opened for reading (shared: others may read and write it meanwhile).
class FileStream {
 public:
  virtual ~FileStream() = default;
  // Opens an existing regular file; null when missing, a folder or not readable. Anything
  // else (a FIFO, a device, a socket) is refused without waiting for a writer or a
  // device, and *not_regular (when given) is set to say so.
  static std::unique_ptr<FileStream> Open(const std::u16string& path, bool* not_regular = nullptr);
  // Reads up to size bytes at offset. Returns the count (0 at the end), or -1 on error.
  virtual int64_t ReadAt(uint64_t offset, char* buffer, size_t size) = 0;
};

}  // namespace nusk
