// The hashing tool's work: read the index of a home folder, hash the contents of the
// files that may have a duplicate, and write "nusk.hash" for the search side.
//
// Only files whose indexed size is shared by another file are read (a unique size cannot
// have a duplicate); the others get a record whose digest is unique to them, so every
// file still has its own hash value. Files that cannot be read, and names that are not
// regular files (FIFOs, devices), are recorded without a hash and counted. Each record
// carries the file's path check (ItemChecks), so it never attaches to another file after
// a rebuild renumbers the items. The file is written to "nusk.hash.tmp" and moved over "nusk.hash".
#pragma once
#include <cstdint>
#include <string>

#include "platform/env.h"
#include "settings/drive_map.h"
#include "util/status.h"

namespace nusk {

struct SumtorStats {
  uint64_t files = 0;        // file items in the index
  uint64_t hashed = 0;       // files whose content was read and hashed
  uint64_t bytes = 0;        // bytes read
  uint64_t unique_size = 0;  // files recorded without reading (size shared by no other)
  uint64_t unreadable = 0;   // files that could not be read (recorded without hash)
  uint64_t not_regular = 0;  // FIFOs, devices, sockets: never read (recorded without hash)
};

// Hashes the index of home and writes home + "nusk.hash". drives turns index paths into
// the paths to open. Fails when the index cannot be loaded or the file cannot be written
// (an existing "nusk.hash" then stays as it was).
Status RunSumtor(const std::u16string& home, const DriveMap& drives, Env* env, SumtorStats* stats);

}  // namespace nusk
