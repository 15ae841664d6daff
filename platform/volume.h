// Volume and drive queries: which drives exist, what kind they are, their file system,
// serial number, size and free space, and the power state of the disk behind them.
//
// A drive is addressed by its root: "C:\" on Windows; on POSIX the drive's target from
// the drive map (a folder, an NTFS image file or a block device). Drive letters on POSIX
// come from the drive map (settings/drive_map.h), not from this interface.
// All calls may block on the device; call them from the build or user-interface thread.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace nusk {

// The values of GetDriveTypeW.
enum class DriveType : uint32_t {
  kUnknown = 0,
  kNoRootDir = 1,  // no such drive
  kRemovable = 2,
  kFixed = 3,
  kRemote = 4,
  kCdrom = 5,
  kRamDisk = 6,
};

struct VolumeInfo {
  std::u16string file_system;  // "NTFS", "FAT32", "ext4", ...
  std::u16string label;        // may be empty
  uint32_t serial = 0;         // volume serial number (never 0 on success on POSIX)
};

enum class DiskPower { kUnknown, kSpinning, kAsleep };

// A volume mounted in a folder of a drive.
struct FolderMount {
  std::u16string folder;       // native path of the mount folder, without a trailing separator
  std::u16string device;       // what the raw reader opens: "\\?\Volume{guid}"; POSIX the mount's
                               // source (image file or block device)
  std::u16string volume_id;    // identity of the volume, at most 36 characters: the GUID without
                               // braces; POSIX the NTFS serial number as 16 hex digits
  std::u16string file_system;  // "NTFS" when the volume can be read as NTFS, else the system's name
};

class Volumes {
 public:
  virtual ~Volumes() = default;

  // The system's volumes. Never null.
  static Volumes* Default();

  // Bit mask of the drive letters present (bit 0 = A:). Always 0 on POSIX.
  virtual uint32_t LogicalDrives() = 0;

  // Kind of drive. POSIX: a folder on a network file system is kRemote, any other
  // existing folder, image file or block device kFixed, a missing target kNoRootDir.
  virtual DriveType TypeOf(const std::u16string& root) = 0;

  // File system name, label and serial number. False when the volume cannot be asked
  // (no media, missing target). POSIX: an image or device whose boot sector says NTFS
  // gives "NTFS" and the boot sector's serial; a folder gives its file-system type and a
  // serial folded from the file-system id.
  virtual bool QueryVolume(const std::u16string& root, VolumeInfo* info) = 0;

  // Total size and free bytes. False when unknown.
  virtual bool QuerySpace(const std::u16string& root, uint64_t* total, uint64_t* free_bytes) = 0;

  // The name the system shows for the drive ("Local Disk (C:)"); POSIX: the target.
  virtual std::u16string DisplayName(const std::u16string& root) = 0;

  // The raw volume can be opened for reading (Windows "\\.\C:"; POSIX: an image or
  // device opens for reading, a folder can be listed).
  virtual bool CanOpenVolume(const std::u16string& root) = 0;

  // Number of the physical disk holding the drive: kDisk with *disk set; kNotADisk when
  // the drive opens but is not a plain disk (network, optical, or the system cannot
  // tell); kCannotOpen when the drive cannot be opened at all (gone, no medium).
  enum class DiskLookup { kDisk, kNotADisk, kCannotOpen };
  virtual DiskLookup DiskNumber(const std::u16string& root, uint32_t* disk) = 0;

  // File index of a folder (Windows: opened with backup semantics, the reparse point
  // itself, never its target; POSIX: the inode of the folder itself). All ones when it
  // cannot be opened.
  virtual uint64_t FolderFileId(const std::u16string& path) = 0;

  // Power state of a physical disk. POSIX answers kSpinning: the system cannot tell
  // without waking the disk.
  virtual DiskPower QueryDiskPower(uint32_t disk) = 0;

  // The volumes mounted in folders of the drive at root, in the order the system lists
  // them. Windows: the volume mount points of the drive's volume. POSIX: the mounts made
  // directly on the file system holding root, in folders below root (platform/
  // volume_mounts.h); a mount whose source is not an NTFS image or device is listed with
  // its mount table type and no device. Empty when there are none or they cannot be read.
  // The drive letters of every logical disk the system's management service (WMI class
  // Win32_LogicalDisk) reports, in its order, without touching the drives themselves.
  // False when the service could not be asked (POSIX: never there); *letters then holds
  // what was collected before the failure.
  virtual bool LogicalDisksByWmi(std::u16string* letters) {
    (void)letters;
    return false;
  }

  virtual std::vector<FolderMount> FolderMounts(const std::u16string& root) {
    (void)root;
    return {};
  }
};

}  // namespace nusk
