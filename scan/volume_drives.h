// The drives of this machine as the build and the user interface see them: which letters
// exist, what each is, whether it is NTFS, its serial number and display name, whether
// its disk is spinning, and the rows of the volume options page.
//
// Windows: the system's drive letters. POSIX: the letters of the drive map, each standing
// for a folder (walked), an NTFS image file or a block device (read as NTFS).
// Not locked: use one object per thread (the power caches are its only state).
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/volume.h"
#include "scan/volume_state.h"
#include "settings/drive_map.h"

namespace nusk {

class Env;

// One row of the volume options page.
struct VolumeRow {
  char16_t letter = 0;
  bool enabled = true;
  bool checked = false;
  bool local = false;  // neither removable nor a network drive
  bool ntfs = false;
  std::u16string text;       // display name, file system and kind
  std::u16string size_text;  // "12.3 / 1862 GB"
};

class DriveSystem {
 public:
  DriveSystem(DriveMap map, Volumes* volumes, Env* env);
  Env* env() const { return env_; }

  const DriveMap& map() const { return map_; }
  Volumes* volumes() const { return volumes_; }

  // Letters of the drives present, in letter order.
  std::u16string PresentLetters();
  // Root of a drive: "C:\" on Windows; the target on POSIX, a folder with a trailing '/'.
  std::u16string Root(char16_t letter) const;
  DriveType TypeOf(char16_t letter);
  // Not remote, not optical, and the file system is exactly "NTFS".
  bool IsNtfsDrive(char16_t letter);
  bool CanOpenVolume(char16_t letter);
  // Serial number of the volume; when unreadable 0xFFFFFFFF for a network drive, else 0.
  uint32_t VolumeSerial(char16_t letter);
  std::u16string DisplayName(char16_t letter);
  // The drive's root holds the marker file "_nuskignore" (only folder roots can).
  bool HasIgnoreMarker(char16_t letter);

  // Drive letters to show: removable, fixed, remote and optical drives; removable and
  // fixed ones must answer the volume query; a non-network drive with the marker file
  // in its root is left out. When the first drive is A: or B: (a floppy drive, which the
  // volume query would spin up or stall on) and all is false, the WMI list is shown
  // instead; should WMI not answer, A: and B: are listed by their type alone.
  std::u16string ListVolumes(bool all = false);
  // Every logical disk WMI reports; empty when it cannot be asked.
  std::u16string ListVolumesByWmi();

  // Whether the disk behind the drive is spinning; an answer is reused for 7 seconds,
  // per letter and per physical disk. A drive that is not a plain disk counts as spinning.
  bool IsDriveSpinning(char16_t letter);

  // The drives the build menu marks as built by an all-drives build: state not 0, type
  // removable, fixed, remote or optical, fixed or with a state below 255, and no marker
  // file in the root (index 0 of volume_states = A:).
  std::u16string DrivesToBuild(const VolumeStates& volume_states);

  // The options page's rows; checked from the volume states (index 0 = A:; 0 never
  // build, 1 build, 255 default).
  std::vector<VolumeRow> FillVolumeRows(const VolumeStates& volume_states);

 private:
  struct PowerEntry {
    uint32_t state = 0;  // 0 unknown, 1 spinning, 2 asleep
    uint64_t time_ms = 0;
  };

  DriveMap map_;
  Volumes* volumes_;
  Env* env_;
  PowerEntry letter_power_[26];
  PowerEntry disk_power_[26];
};

// "used / total GB" with GiB truncated to one decimal; values of 100 or more lose it.
std::u16string FormatVolumeSize(uint64_t total_bytes, uint64_t free_bytes);

// The text of a volume row: the drive's display name without empty brackets (a drive
// without a label, "(C:)" or "", shows as "C:"), then its file system when that is known
// and not NTFS, then "(Removable)" or "(Remote)".
std::u16string VolumeRowText(std::u16string_view display_name, char16_t letter, std::u16string_view file_system,
                             bool ntfs, DriveType type);

// Whether a drive answers "fixed NTFS" (for an empty VolumeStates setting).
bool IsFixedNtfsDrive(DriveSystem* drives, char16_t letter);

}  // namespace nusk
