#include "scan/volume_drives.h"

#include <cmath>
#include <cstdio>

#include "platform/env.h"
#include "scan/exclusion.h"
#include "util/utf.h"

namespace nusk {

namespace {

constexpr uint64_t kPowerAnswerMs = 7000;

bool Listable(DriveType t) {
  return t == DriveType::kRemovable || t == DriveType::kFixed || t == DriveType::kRemote || t == DriveType::kCdrom;
}

std::string OneDecimalGib(uint64_t bytes) {
  // Truncate (bytes * 10) / 2^30, then divide by 10; 100 GiB and more drop the fraction.
  uint64_t tenths = static_cast<uint64_t>((static_cast<unsigned __int128>(bytes) * 10) >> 30);
  double value = static_cast<double>(tenths) / 10.0;
  char buf[32];
  if (value < 100) {
    std::snprintf(buf, sizeof(buf), "%.1f", value);
  } else {
    std::snprintf(buf, sizeof(buf), "%.0f", std::floor(value));
  }
  return buf;
}

}  // namespace

std::u16string FormatVolumeSize(uint64_t total_bytes, uint64_t free_bytes) {
  uint64_t used = total_bytes >= free_bytes ? total_bytes - free_bytes : 0;
  return U16(OneDecimalGib(used) + " / " + OneDecimalGib(total_bytes) + " GB");
}

DriveSystem::DriveSystem(DriveMap map, Volumes* volumes, Env* env)
    : map_(std::move(map)), volumes_(volumes), env_(env) {}

std::u16string DriveSystem::PresentLetters() {
  if (!map_.native_letters()) return map_.Letters();
  std::u16string letters;
  uint32_t mask = volumes_->LogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (mask & (1u << i)) letters.push_back(static_cast<char16_t>(u'A' + i));
  }
  return letters;
}

std::u16string DriveSystem::Root(char16_t letter) const {
  std::u16string root = map_.Target(letter);
  if (!map_.native_letters() && map_.IsFolderTarget(letter) && !root.empty() && root.back() != u'/') {
    root.push_back(u'/');
  }
  return root;
}

DriveType DriveSystem::TypeOf(char16_t letter) {
  std::u16string root = Root(letter);
  return root.empty() ? DriveType::kNoRootDir : volumes_->TypeOf(root);
}

bool DriveSystem::IsNtfsDrive(char16_t letter) {
  DriveType t = TypeOf(letter);
  if (t == DriveType::kRemote || t == DriveType::kCdrom) return false;
  VolumeInfo info;
  return volumes_->QueryVolume(Root(letter), &info) && info.file_system == u"NTFS";
}

bool DriveSystem::CanOpenVolume(char16_t letter) {
  std::u16string root = Root(letter);
  return !root.empty() && volumes_->CanOpenVolume(root);
}

uint32_t DriveSystem::VolumeSerial(char16_t letter) {
  VolumeInfo info;
  std::u16string root = Root(letter);
  if (!root.empty() && volumes_->QueryVolume(root, &info)) return info.serial;
  return TypeOf(letter) == DriveType::kRemote ? 0xFFFFFFFFu : 0;
}

std::u16string DriveSystem::DisplayName(char16_t letter) {
  std::u16string root = Root(letter);
  return root.empty() ? std::u16string() : volumes_->DisplayName(root);
}

bool DriveSystem::HasIgnoreMarker(char16_t letter) {
  if (!map_.IsFolderTarget(letter)) return false;
  std::u16string root = Root(letter);
  return !root.empty() && env_->FileExists(root + std::u16string(kIgnoreMarkerName));
}

std::u16string DriveSystem::ListVolumesByWmi() {
  std::u16string letters;
  volumes_->LogicalDisksByWmi(&letters);
  return letters;
}

std::u16string DriveSystem::ListVolumes(bool all) {
  std::u16string present = PresentLetters();
  bool floppy = !present.empty() && (present[0] == u'A' || present[0] == u'B');
  if (floppy && !all) {
    std::u16string letters;
    if (volumes_->LogicalDisksByWmi(&letters)) return letters;
  }
  std::u16string out;
  for (char16_t letter : present) {
    DriveType t = TypeOf(letter);
    if (!Listable(t)) continue;
    VolumeInfo info;
    // Without WMI a floppy drive is still not asked: listed by its type alone.
    bool ask = !(floppy && !all && letter <= u'B');
    if (ask && (t == DriveType::kRemovable || t == DriveType::kFixed) && !volumes_->QueryVolume(Root(letter), &info)) {
      continue;
    }
    if (ask && t != DriveType::kRemote && HasIgnoreMarker(letter)) continue;
    out.push_back(letter);
  }
  return out;
}

bool DriveSystem::IsDriveSpinning(char16_t letter) {
  int li = (letter >= u'a' ? letter - u'a' : letter - u'A');
  if (li < 0 || li >= 26) return false;
  uint64_t now = env_->MonotonicMs();
  PowerEntry& by_letter = letter_power_[li];
  if (by_letter.state != 0 && now - by_letter.time_ms < kPowerAnswerMs) return by_letter.state == 1;
  std::u16string root = Root(letter);
  if (root.empty() || TypeOf(letter) == DriveType::kNoRootDir) return false;
  uint32_t disk = 0;
  switch (volumes_->DiskNumber(root, &disk)) {
    case Volumes::DiskLookup::kCannotOpen: return false;  // nothing to touch: callers leave it alone
    case Volumes::DiskLookup::kNotADisk: return true;     // not a plain disk: go ahead and touch it
    case Volumes::DiskLookup::kDisk: break;
  }
  PowerEntry fresh;
  PowerEntry* by_disk = disk < 26 ? &disk_power_[disk] : &fresh;
  if (by_disk->state == 0 || now - by_disk->time_ms >= kPowerAnswerMs) {
    by_disk->state = volumes_->QueryDiskPower(disk) == DiskPower::kSpinning ? 1 : 2;
    by_disk->time_ms = now;
  }
  by_letter = *by_disk;
  return by_letter.state == 1;
}

std::u16string DriveSystem::DrivesToBuild(const VolumeStates& volume_states) {
  std::u16string out;
  for (char16_t letter : PresentLetters()) {
    VolumeState state = volume_states[letter - u'A'];
    DriveType t = TypeOf(letter);
    if (state == kVolumeSkipped || !Listable(t)) continue;
    if (t != DriveType::kFixed && state == kVolumeUnlisted) continue;
    if (HasIgnoreMarker(letter)) continue;
    out.push_back(letter);
  }
  return out;
}

std::vector<VolumeRow> DriveSystem::FillVolumeRows(const VolumeStates& volume_states) {
  std::vector<VolumeRow> rows;
  for (char16_t letter : PresentLetters()) {
    DriveType t = TypeOf(letter);
    if (!Listable(t)) continue;
    VolumeRow row;
    row.letter = letter;
    VolumeInfo info;
    bool have_info = volumes_->QueryVolume(Root(letter), &info);
    row.ntfs = have_info && info.file_system == u"NTFS";
    row.local = t != DriveType::kRemovable && t != DriveType::kRemote;
    if (HasIgnoreMarker(letter)) row.enabled = false;
    row.text = VolumeRowText(DisplayName(letter), letter, info.file_system, row.ntfs, t);
    uint64_t total = 0, free_bytes = 0;
    if (volumes_->QuerySpace(Root(letter), &total, &free_bytes)) row.size_text = FormatVolumeSize(total, free_bytes);
    rows.push_back(std::move(row));
  }
  for (VolumeRow& row : rows) {
    VolumeState state = volume_states[row.letter - u'A'];
    row.checked = (row.local && row.ntfs) ? state != kVolumeSkipped : state == kVolumeSelected;
  }
  return rows;
}

std::u16string VolumeRowText(std::u16string_view display_name, char16_t letter, std::u16string_view file_system,
                             bool ntfs, DriveType type) {
  // The name without empty brackets (a missing label or file system), blanks collapsed.
  std::u16string name;
  for (size_t i = 0; i < display_name.size(); ++i) {
    const char16_t c = display_name[i];
    if (c == u'(') {
      size_t j = i + 1;
      while (j < display_name.size() && display_name[j] == u' ') ++j;
      if (j < display_name.size() && display_name[j] == u')') {
        i = j;
        continue;
      }
    }
    if (c == u' ' && (name.empty() || name.back() == u' ')) continue;
    name.push_back(c);
  }
  while (!name.empty() && name.back() == u' ') name.pop_back();
  const std::u16string drive = {letter, u':'};
  // Nothing but the drive in brackets: there is no label to put before it.
  if (name.empty() || name == u"(" + drive + u")") name = drive;
  if (!ntfs && !file_system.empty()) name += u" (" + std::u16string(file_system) + u")";
  if (type == DriveType::kRemovable) name += u" (Removable)";
  if (type == DriveType::kRemote) name += u" (Remote)";
  return name;
}

bool IsFixedNtfsDrive(DriveSystem* drives, char16_t letter) {
  return drives->TypeOf(letter) == DriveType::kFixed && drives->IsNtfsDrive(letter);
}

}  // namespace nusk
