// The Linux mount table (/proc/self/mountinfo) as the build needs it: which file systems
// are mounted in folders below a walked drive's root.
//
// Portable text processing only (the file itself is read by platform/posix); kept apart
// so that the rules for choosing mounts are tested on every system.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nusk {

// One line of mountinfo: "36 35 98:0 /root /mnt/point opts [tags] - fstype source super".
struct MountInfoEntry {
  uint32_t id = 0;
  uint32_t parent = 0;
  std::string mount_point;  // octal escapes ("\040") decoded
  std::string fs_type;
  std::string source;  // octal escapes decoded
};

// Parses the whole table; lines that do not have the fields above are skipped.
std::vector<MountInfoEntry> ParseMountInfo(std::string_view text);

// The mounts made directly on the mount that holds folder root (an absolute path, with or
// without a trailing '/') whose mount point lies strictly below root, in table order.
// Mounts inside those (or inside any other mount below root) are left out: a walk that
// stays on its file system never reaches their folders. When several mounts share a
// mount point, only the last one (the visible one) counts, for the root's mount too.
// When no listed mount holds root (a chroot on a plain folder: its host mount is not
// shown), the mounts whose parent is not listed are the ones made on the hidden host.
std::vector<MountInfoEntry> MountsBelow(const std::vector<MountInfoEntry>& table, std::string_view root);

}  // namespace nusk
