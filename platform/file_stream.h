// Reading a file piece by piece, for sending large files without holding them in memory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace nusk {

struct PathInfo {
  bool is_folder = false;
  uint64_t size = 0;       // bytes; 0 for folders
  int64_t mtime_unix = 0;  // last write, whole seconds since 1970-01-01 UTC
  // Changes whenever the file is rewritten or another file is moved in its place: the
  // finest write time the system keeps, with (POSIX) the file's serial number mixed in.
  uint64_t stamp = 0;
};

// Looks a path up without opening it. False when it does not exist or cannot be examined.
bool StatPath(const std::u16string& path, PathInfo* info);

// A file opened for reading (shared: others may read and write it meanwhile).
class FileStream {
 public:
  virtual ~FileStream() = default;
  // Made by Env::OpenFileStream (an existing regular file) and Env::OpenBelow.
  // Reads up to size bytes at offset. Returns the count (0 at the end), or -1 on error.
  virtual int64_t ReadAt(uint64_t offset, char* buffer, size_t size) = 0;
};

// What Env::OpenBelow found.
struct OpenedItem {
  PathInfo info;                     // of the item actually opened
  std::unique_ptr<FileStream> file;  // set for a regular file; null for a folder
};

// Env::OpenBelow opens root + names[0] + ... + names[n-1] for reading without following a
// symbolic link (POSIX) or a reparse point (Windows) anywhere below root; root itself is
// resolved as the system resolves it. Each name is one path component as NativeFromPath
// takes it (no separators; "", "." and ".." are refused). Succeeds only for a regular
// file (file set) or a folder (file null); a link, a folder reached through a link, a
// device, a socket or a FIFO fails, and no open ever waits on such an item. An empty
// names opens root.

}  // namespace nusk
