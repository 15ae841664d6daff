// Read-only raw access to the bytes of a volume: an NTFS image file, a block device, or
// on Windows a volume path such as "\\.\C:" or "\\?\Volume{guid}".
//
// The MFT reader needs nothing else from the system. Objects are used by one thread.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "util/status.h"

namespace nusk {

// What the file system reports about an NTFS volume (FSCTL_GET_NTFS_VOLUME_DATA).
struct NtfsVolumeGeometry {
  uint32_t bytes_per_sector = 0;
  uint32_t bytes_per_cluster = 0;
  uint32_t bytes_per_file_record = 0;
  uint64_t mft_start_cluster = 0;
};

class RawVolume {
 public:
  virtual ~RawVolume() = default;

  // Made by Env::OpenRawVolume: the path opened for reading, sharing read and write
  // with others.

  // Reads up to length bytes at byte offset into buffer. Returns the number of bytes
  // read: fewer than asked at the end of the volume, -1 on a read error. Offsets and
  // lengths must be multiples of 512 for devices; image files take any value.
  virtual int64_t ReadAt(uint64_t offset, void* buffer, size_t length) = 0;

  // Asks the file system for the volume's geometry. False when it cannot answer
  // (image files on POSIX, Wine): callers then read the boot sector themselves.
  virtual bool QueryNtfsGeometry(NtfsVolumeGeometry* geometry) = 0;

  // Asks the file system for the current copy of one MFT record (FSCTL_GET_NTFS_FILE_RECORD).
  // On success *record holds the record bytes (fix-ups already applied by the system) and
  // *found_number the record number actually returned (the system returns the nearest
  // in-use record at or below the one asked for). False when unsupported or failed;
  // callers then read the record from the raw MFT.
  virtual bool ReadFileRecord(uint64_t record_number, std::string* record, uint64_t* found_number) = 0;

  // True when ReadFileRecord answers on this volume (a live NTFS volume): its copies are
  // then the ones to use, and raw MFT bytes, which may lag behind the file system's
  // cache, serve only where it fails. False for image files and devices read raw.
  virtual bool ServesFileRecords() { return false; }

  // Size in bytes of the file stored under NTFS file reference (open by id). False when
  // the system cannot open files by id on this volume.
  virtual bool FileSizeById(uint64_t ntfs_reference, uint64_t* size) = 0;
};

}  // namespace nusk
