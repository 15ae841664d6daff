// Volumes on POSIX: drives are targets of the drive map (folders, NTFS images, devices).
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/native_name.h"
#include "platform/volume.h"
#include "platform/volume_mounts.h"
#include "util/utf.h"

namespace nusk {

namespace {

// statfs f_type values of the file systems we name (linux/magic.h).
struct FsName {
  unsigned long magic;
  const char* name;
  bool remote;
};
constexpr FsName kFileSystems[] = {
    {0xEF53, "ext4", false},      {0x9123683E, "btrfs", false},   {0x58465342, "xfs", false},
    {0x01021994, "tmpfs", false}, {0x794C7630, "overlay", false}, {0x4d44, "vfat", false},
    {0x2011BAB0, "exfat", false}, {0x5346544e, "NTFS", false},    {0x7366746e, "NTFS", false},
    {0x65735546, "fuse", false},  {0x6969, "nfs", true},          {0xFF534D42, "cifs", true},
    {0xFE534D42, "smb2", true},   {0x517B, "smb", true},          {0x01161970, "gfs2", true},
    {0x9fa0, "proc", false},      {0x62656572, "sysfs", false},   {0x2FC12FC1, "zfs", false},
    {0x9660, "iso9660", false},   {0x15013346, "udf", false},
};

// /proc files report a size of 0: read until the end.
bool ReadProcFile(const char* path, std::string* text) {
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buf[8192];
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof(buf))) > 0) text->append(buf, static_cast<size_t>(n));
  ::close(fd);
  return n == 0;
}

const FsName* FindFs(unsigned long magic) {
  for (const FsName& fs : kFileSystems) {
    if (fs.magic == magic) return &fs;
  }
  return nullptr;
}

// Reads the first 512 bytes of an image or device; true when it is an NTFS boot sector.
bool ReadNtfsBoot(const std::string& path, uint32_t* serial, uint64_t* serial64 = nullptr) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  unsigned char boot[512];
  ssize_t n = ::pread(fd, boot, sizeof(boot), 0);
  ::close(fd);
  if (n != static_cast<ssize_t>(sizeof(boot)) || std::memcmp(boot + 3, "NTFS", 4) != 0) return false;
  // The volume serial number is 8 bytes at 0x48; Windows reports its low 32 bits.
  *serial = static_cast<uint32_t>(boot[0x48]) | (static_cast<uint32_t>(boot[0x49]) << 8) |
            (static_cast<uint32_t>(boot[0x4A]) << 16) | (static_cast<uint32_t>(boot[0x4B]) << 24);
  if (serial64) {
    *serial64 = 0;
    for (int i = 7; i >= 0; --i) *serial64 = (*serial64 << 8) | boot[0x48 + i];
  }
  return true;
}

class PosixVolumes : public Volumes {
 public:
  uint32_t LogicalDrives() override { return 0; }

  DriveType TypeOf(const std::u16string& root) override {
    struct stat st;
    std::string path = NativeFromPath(root);
    if (root.empty() || ::stat(path.c_str(), &st) != 0) return DriveType::kNoRootDir;
    if (S_ISDIR(st.st_mode)) {
      struct statfs fs;
      if (::statfs(path.c_str(), &fs) == 0) {
        const FsName* known = FindFs(static_cast<unsigned long>(fs.f_type));
        if (known && known->remote) return DriveType::kRemote;
        if (known && (known->magic == 0x9660 || known->magic == 0x15013346)) return DriveType::kCdrom;
      }
      return DriveType::kFixed;
    }
    if (S_ISREG(st.st_mode) || S_ISBLK(st.st_mode)) return DriveType::kFixed;
    return DriveType::kUnknown;
  }

  bool QueryVolume(const std::u16string& root, VolumeInfo* info) override {
    std::string path = NativeFromPath(root);
    struct stat st;
    if (root.empty() || ::stat(path.c_str(), &st) != 0) return false;
    *info = VolumeInfo();
    if (!S_ISDIR(st.st_mode)) {
      uint32_t serial = 0;
      if (ReadNtfsBoot(path, &serial)) {
        info->file_system = u"NTFS";
        info->serial = serial;
        return true;
      }
      // A readable image of another file system: no reader for it.
      info->file_system = u"RAW";
      info->serial = FoldSerial(static_cast<uint64_t>(st.st_dev) * 1000003u + st.st_ino);
      return ::access(path.c_str(), R_OK) == 0;
    }
    struct statfs fs;
    if (::statfs(path.c_str(), &fs) != 0) return false;
    const FsName* known = FindFs(static_cast<unsigned long>(fs.f_type));
    if (known) {
      info->file_system = FromLatin1(known->name);
    } else {
      char hex[24];
      std::snprintf(hex, sizeof(hex), "fs-%lx", static_cast<unsigned long>(fs.f_type));
      info->file_system = FromLatin1(hex);
    }
    uint64_t fsid = 0;
    std::memcpy(&fsid, &fs.f_fsid, sizeof(fsid) < sizeof(fs.f_fsid) ? sizeof(fsid) : sizeof(fs.f_fsid));
    info->serial = FoldSerial(fsid != 0 ? fsid : static_cast<uint64_t>(st.st_dev));
    return true;
  }

  bool QuerySpace(const std::u16string& root, uint64_t* total, uint64_t* free_bytes) override {
    std::string path = NativeFromPath(root);
    struct stat st;
    if (root.empty() || ::stat(path.c_str(), &st) != 0) return false;
    if (S_ISREG(st.st_mode)) {  // an image: its size, nothing free to report
      *total = static_cast<uint64_t>(st.st_size);
      *free_bytes = 0;
      return true;
    }
    struct statvfs vfs;
    if (::statvfs(path.c_str(), &vfs) != 0) return false;
    *total = static_cast<uint64_t>(vfs.f_blocks) * vfs.f_frsize;
    *free_bytes = static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    return true;
  }

  std::u16string DisplayName(const std::u16string& root) override { return root; }

  bool CanOpenVolume(const std::u16string& root) override {
    std::string path = NativeFromPath(root);
    struct stat st;
    if (root.empty() || ::stat(path.c_str(), &st) != 0) return false;
    return ::access(path.c_str(), S_ISDIR(st.st_mode) ? (R_OK | X_OK) : R_OK) == 0;
  }

  DiskLookup DiskNumber(const std::u16string& root, uint32_t* disk) override {
    struct stat st;
    if (root.empty() || ::stat(NativeFromPath(root).c_str(), &st) != 0) return DiskLookup::kCannotOpen;
    *disk = static_cast<uint32_t>(major(st.st_dev));
    return DiskLookup::kDisk;
  }

  uint64_t FolderFileId(const std::u16string& path) override {
    struct stat st;
    if (::lstat(NativeFromPath(path).c_str(), &st) != 0) return ~uint64_t{0};
    return static_cast<uint64_t>(st.st_ino);
  }

  DiskPower QueryDiskPower(uint32_t) override { return DiskPower::kSpinning; }

  std::vector<FolderMount> FolderMounts(const std::u16string& root) override {
    std::vector<FolderMount> mounts;
    std::string text;
    if (!ReadProcFile("/proc/self/mountinfo", &text)) return mounts;
    // The table holds canonical paths; the folders handed back keep the caller's root.
    std::string given = NativeFromPath(root);
    char* resolved = ::realpath(given.c_str(), nullptr);
    if (!resolved) return mounts;
    std::string canonical = resolved;
    std::free(resolved);
    while (!given.empty() && given.back() == '/') given.pop_back();
    for (const MountInfoEntry& e : MountsBelow(ParseMountInfo(text), canonical)) {
      FolderMount m;
      m.folder = PathFromNative(given + e.mount_point.substr(canonical == "/" ? 0 : canonical.size()));
      m.file_system = FromUtf8(e.fs_type);
      uint32_t serial = 0;
      uint64_t serial64 = 0;
      struct stat st;
      // Whatever the driver (ntfs-3g, ntfs3), an image or device with an NTFS boot sector
      // is read with the MFT reader.
      if (::stat(e.source.c_str(), &st) == 0 && (S_ISREG(st.st_mode) || S_ISBLK(st.st_mode)) &&
          ReadNtfsBoot(e.source, &serial, &serial64)) {
        char hex[24];
        std::snprintf(hex, sizeof(hex), "%016llx", static_cast<unsigned long long>(serial64));
        m.device = PathFromNative(e.source);
        m.volume_id = FromLatin1(hex);
        m.file_system = u"NTFS";
      }
      mounts.push_back(std::move(m));
    }
    return mounts;
  }

 private:
  // 32-bit serial from a wider id; never 0 (0 means "unreadable" to the build).
  static uint32_t FoldSerial(uint64_t id) {
    uint32_t s = static_cast<uint32_t>(id) ^ static_cast<uint32_t>(id >> 32);
    return s != 0 ? s : 0x4E55534Bu;
  }
};

}  // namespace

Volumes* Volumes::Default() {
  static PosixVolumes volumes;
  return &volumes;
}

}  // namespace nusk
