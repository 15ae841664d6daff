// Drive queries over a scripted volume system: listing, serials, the 7-second power
// caches and the rows of the volume options page.
#include "scan/volume_drives.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "platform/env.h"

namespace nusk {
namespace {

struct FakeDrive {
  DriveType type = DriveType::kFixed;
  bool info = true;
  std::u16string fs = u"NTFS";
  uint32_t serial = 0x1234;
  uint64_t total = 0, free_bytes = 0;
  bool disk = true;   // a plain disk (else: opens, but no disk number)
  bool opens = true;  // the drive itself can be opened
  uint32_t disk_number = 0;
};

class FakeVolumes : public Volumes {
 public:
  std::map<char16_t, FakeDrive> drives;
  int power_queries = 0;
  std::map<char16_t, int> volume_queries;
  bool wmi_answers = false;
  std::u16string wmi;
  DiskPower power = DiskPower::kSpinning;

  uint32_t LogicalDrives() override {
    uint32_t mask = 0;
    for (auto& [letter, d] : drives) mask |= 1u << (letter - u'A');
    return mask;
  }
  const FakeDrive* Find(const std::u16string& root) {
    auto it = drives.find(root[0]);
    return it == drives.end() ? nullptr : &it->second;
  }
  DriveType TypeOf(const std::u16string& root) override {
    return Find(root) ? Find(root)->type : DriveType::kNoRootDir;
  }
  bool QueryVolume(const std::u16string& root, VolumeInfo* info) override {
    ++volume_queries[root[0]];
    const FakeDrive* d = Find(root);
    if (d && d->info) *info = VolumeInfo{d->fs, u"", d->serial};
    return d && d->info;
  }
  bool QuerySpace(const std::u16string& root, uint64_t* total, uint64_t* free_bytes) override {
    const FakeDrive* d = Find(root);
    if (d) std::tie(*total, *free_bytes) = std::pair(d->total, d->free_bytes);
    return d;
  }
  std::u16string DisplayName(const std::u16string& root) override { return u"Disk (" + root.substr(0, 2) + u")"; }
  bool CanOpenVolume(const std::u16string& root) override { return Find(root) != nullptr; }
  DiskLookup DiskNumber(const std::u16string& root, uint32_t* disk) override {
    const FakeDrive* d = Find(root);
    if (!d || !d->opens) return DiskLookup::kCannotOpen;
    if (!d->disk) return DiskLookup::kNotADisk;
    *disk = d->disk_number;
    return DiskLookup::kDisk;
  }
  uint64_t FolderFileId(const std::u16string&) override { return 0; }
  bool LogicalDisksByWmi(std::u16string* letters) override {
    *letters = wmi;
    return wmi_answers;
  }
  DiskPower QueryDiskPower(uint32_t) override {
    ++power_queries;
    return power;
  }
};

// An Env whose clock the test moves.
class ClockEnv : public EnvWrapper {
 public:
  ClockEnv() : EnvWrapper(Env::Default()) {}
  uint64_t now = 1000000;
  uint64_t MonotonicMs() override { return now; }
  bool FileExists(const std::u16string& path) override { return markers.count(path) != 0; }
  std::set<std::u16string> markers;
};

constexpr uint64_t kGiB = 1ull << 30;

TEST(VolumeDrivesTest, ListsUsableDrivesInLetterOrder) {
  FakeVolumes v;
  ClockEnv env;
  v.drives[u'A'].type = DriveType::kRemovable;
  v.drives[u'A'].info = false;  // removable without media
  v.drives[u'C'];
  v.drives[u'D'].fs = u"FAT32";
  v.drives[u'E'].type = DriveType::kRamDisk;
  v.drives[u'Z'].type = DriveType::kRemote;
  v.drives[u'Z'].info = false;
  env.markers.insert(u"D:\\_nuskignore");
  env.markers.insert(u"Z:\\_nuskignore");  // a network drive is listed despite its marker
  DriveSystem drives(DriveMap::Native(), &v, &env);
  EXPECT_EQ(drives.ListVolumes(true), u"CZ");
  // With a floppy drive first, the list comes from WMI and A: is never asked; when WMI
  // cannot answer, A: is listed by its type (as WMI would list it) and still not asked.
  v.volume_queries.clear();
  v.wmi_answers = true;
  v.wmi = u"ACDZ";
  EXPECT_EQ(drives.ListVolumes(), u"ACDZ");
  v.wmi_answers = false;
  EXPECT_EQ(drives.ListVolumes(), u"ACZ");
  EXPECT_EQ(v.volume_queries.count(u'A'), 0u);
  EXPECT_TRUE(drives.IsNtfsDrive(u'C'));
  EXPECT_FALSE(drives.IsNtfsDrive(u'D'));
  EXPECT_EQ(drives.VolumeSerial(u'C'), 0x1234u);
  EXPECT_EQ(drives.VolumeSerial(u'Z'), 0xFFFFFFFFu) << "unreadable network serial";
  EXPECT_EQ(drives.VolumeSerial(u'A'), 0u) << "unreadable local serial cancels the drive";
}

TEST(VolumeDrivesTest, PowerAnswersAreReusedForSevenSeconds) {
  FakeVolumes v;
  ClockEnv env;
  v.drives[u'C'].disk_number = 0;
  v.drives[u'D'].disk_number = 0;  // same disk as C:
  v.drives[u'N'].disk = false;     // not a plain disk
  DriveSystem drives(DriveMap::Native(), &v, &env);
  EXPECT_TRUE(drives.IsDriveSpinning(u'C'));
  EXPECT_TRUE(drives.IsDriveSpinning(u'C'));
  EXPECT_TRUE(drives.IsDriveSpinning(u'D'));  // served from the disk's cache
  EXPECT_EQ(v.power_queries, 1);
  v.power = DiskPower::kAsleep;
  env.now += 6999;
  EXPECT_TRUE(drives.IsDriveSpinning(u'C'));
  EXPECT_EQ(v.power_queries, 1);
  env.now += 1;
  EXPECT_FALSE(drives.IsDriveSpinning(u'C'));
  EXPECT_EQ(v.power_queries, 2);
  EXPECT_TRUE(drives.IsDriveSpinning(u'N'));
  EXPECT_EQ(v.power_queries, 2);
  // A drive that is listed but cannot be opened (a reader without a card) is not
  // spinning, so callers do not touch it.
  v.drives[u'R'].type = DriveType::kRemovable;
  v.drives[u'R'].opens = false;
  EXPECT_FALSE(drives.IsDriveSpinning(u'R'));
  EXPECT_EQ(v.power_queries, 2);
}

TEST(VolumeDrivesTest, SizeTextAndRows) {
  uint64_t total = 2000ull * 1000 * 1000 * 1000;  // 2 TB = 1862.6 GiB
  EXPECT_EQ(FormatVolumeSize(total, total - static_cast<uint64_t>(150.55 * kGiB)), u"150 / 1862 GB");
  EXPECT_EQ(FormatVolumeSize(total, total - static_cast<uint64_t>(12.34 * kGiB)), u"12.3 / 1862 GB");
  EXPECT_EQ(FormatVolumeSize(10 * kGiB, 10 * kGiB), u"0.0 / 10.0 GB");

  FakeVolumes v;
  ClockEnv env;
  v.drives[u'C'].total = 100 * kGiB;
  v.drives[u'C'].free_bytes = 50 * kGiB;
  v.drives[u'D'].fs = u"exFAT";
  v.drives[u'F'].type = DriveType::kRemovable;
  v.drives[u'F'].fs = u"FAT32";
  v.drives[u'Z'].type = DriveType::kRemote;
  env.markers.insert(u"Z:\\_nuskignore");
  DriveSystem drives(DriveMap::Native(), &v, &env);
  VolumeStates states;
  states.fill(kVolumeUnlisted);
  states[u'D' - u'A'] = kVolumeSelected;
  auto rows = drives.FillVolumeRows(states);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].text, u"Disk (C:)");
  EXPECT_EQ(rows[0].size_text, u"50.0 / 100 GB");
  EXPECT_TRUE(rows[0].checked) << "local NTFS: checked unless state 0";
  EXPECT_EQ(rows[1].text, u"Disk (D:) (exFAT)");
  EXPECT_TRUE(rows[1].checked) << "other drives only with state 1";
  EXPECT_EQ(rows[2].text, u"Disk (F:) (FAT32) (Removable)");
  EXPECT_FALSE(rows[2].checked);
  EXPECT_FALSE(rows[2].local);
  EXPECT_EQ(rows[3].text, u"Disk (Z:) (Remote)");
  EXPECT_FALSE(rows[3].enabled);

  // Default state: fixed drives only; state 1 adds others; a root marker removes any.
  EXPECT_EQ(drives.DrivesToBuild(states), u"CD");
  states[u'C' - u'A'] = kVolumeSkipped;
  states[u'F' - u'A'] = kVolumeSelected;
  states[u'Z' - u'A'] = kVolumeSelected;
  EXPECT_EQ(drives.DrivesToBuild(states), u"DF");
}

TEST(VolumeDrives, RowTextLeavesOutWhatIsMissing) {
  struct Case {
    std::u16string_view name, fs;
    bool ntfs;
    DriveType type;
    std::u16string_view want;
  } cases[] = {
      {u"Disk (C:)", u"NTFS", true, DriveType::kFixed, u"Disk (C:)"},
      {u"(C:)", u"NTFS", true, DriveType::kFixed, u"C:"},
      {u" (C:)", u"", false, DriveType::kFixed, u"C:"},
      {u"", u"", false, DriveType::kRemovable, u"C: (Removable)"},
      {u"Backup ( ) (C:)", u"FAT32", false, DriveType::kRemote, u"Backup (C:) (FAT32) (Remote)"},
      {u"Local Disk (C:)", u"exFAT", false, DriveType::kFixed, u"Local Disk (C:) (exFAT)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(VolumeRowText(c.name, u'C', c.fs, c.ntfs, c.type), c.want) << std::string(c.name.begin(), c.name.end());
  }
}

}  // namespace
}  // namespace nusk
