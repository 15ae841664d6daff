// Folder listing for the walk of a drive: every entry with what the index keeps (name,
// kind, size, last write time, attributes) and what the walk needs to stay inside one
// volume (links, reparse points and folders of other file systems are flagged).
//
// Windows: FindFirstFileExW with the basic information level and large fetches (names
// only, no 8.3 names). POSIX: getdents64 and statx; symbolic links are never followed.
// One lister per walk; used by one thread at a time.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "util/status.h"

namespace nusk {

struct VolumeEntry {
  std::u16string name;      // never "." or ".."
  bool is_folder = false;   // a real folder (not a link to one)
  bool no_descend = false;  // link, reparse point or mount point: list it, never enter it
  uint64_t size = 0;        // bytes; 0 for folders
  uint64_t mtime = 0;       // FILETIME (100 ns since 1601-01-01 UTC)
  uint32_t attributes = 0;  // FILE_ATTRIBUTE_* bits; POSIX: hidden (0x2) for dot names
};

class VolumeLister {
 public:
  virtual ~VolumeLister() = default;

  // Made by Env::NewVolumeLister for the volume holding a root folder. POSIX: folders
  // on another device than that root are flagged no_descend.

  // Replaces *entries with the entries of folder (a path ending with the separator).
  // Fails when the folder cannot be listed (access denied, vanished).
  virtual Status List(const std::u16string& folder, std::vector<VolumeEntry>* entries) = 0;
};

}  // namespace nusk
