// NTFS volumes through the build: a drive letter naming an image (full scan, then a
// change pass from its journal), volumes mounted in folders of a walked drive (mount
// slots kept, replaced and freed), and the mount table rules behind them.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>

#include "platform/env.h"
#include "platform/profile.h"
#include "platform/raw_volume.h"
#include "platform/volume_mounts.h"
#include "scan/exclusion.h"
#include "scan/mft_parser.h"
#include "scan/usn_record.h"
#include "tests/build/build_test_support.h"
#include "tests/testing/ntfs_image.h"
#include "tests/testing/usn_journal_file.h"
#include "util/utf.h"

namespace nusk {
namespace {

using testing::BuildFixture;
using testing::NtfsMount;

TEST(MountTableTest, ParsesLinesAndKeepsOnlyVisibleMountsDirectlyBelowTheRoot) {
  const char* text =
      "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
      "2 1 0:5 / /proc rw shared:3 master:1 - proc proc rw\n"
      "3 1 0:40 / /data/my\\040disk rw - fuse /img/a\\040b.img rw\n"
      "4 3 0:41 / /data/my\\040disk/inner rw - fuse /img/inner.img rw\n"
      "5 1 0:42 / /database rw - ext4 /dev/sdb1 rw\n"
      "6 1 0:43 / /data/x rw - tmpfs tmpfs rw\n"
      "7 1 0:44 / /data/x rw - ntfs3 /dev/loop1 rw\n"
      "garbage line\n"
      "8 1 0:45 / /data rw\n";  // no separator: skipped
  std::vector<MountInfoEntry> table = ParseMountInfo(text);
  ASSERT_EQ(table.size(), 7u);
  EXPECT_EQ(table[1].fs_type, "proc");  // tagged optional fields skipped
  EXPECT_EQ(table[2].mount_point, "/data/my disk");
  EXPECT_EQ(table[2].source, "/img/a b.img");

  std::vector<std::string> points;
  for (const MountInfoEntry& e : MountsBelow(table, "/data/")) points.push_back(e.mount_point + "=" + e.source);
  // Not /database (a name that merely starts like the root), not the mount inside a
  // mount, and only the upper of two mounts on one folder.
  EXPECT_EQ(points, (std::vector<std::string>{"/data/my disk=/img/a b.img", "/data/x=/dev/loop1"}));
  // A root inside a mount: that mount is the host; its own children count.
  ASSERT_EQ(MountsBelow(table, "/data/my disk").size(), 1u);
  EXPECT_EQ(MountsBelow(table, "/data/my disk")[0].source, "/img/inner.img");
  EXPECT_EQ(MountsBelow(table, "/").size(), 4u);
  EXPECT_TRUE(MountsBelow({}, "/").empty());
}

// Inside a chroot made on a plain folder the kernel leaves out the mount holding the root
// (46 here): mounts made on it name an unlisted parent.
TEST(MountTableTest, ChrootWithoutItsHostMountStillFindsMountsBelowTheRoot) {
  const char* text =
      "66 46 254:0 /usr /usr rw - ext4 /dev/vda rw\n"
      "67 46 0:40 / /proc rw - proc proc rw\n"
      "68 46 0:44 / /srv/q/mnt rw - fuseblk /img/a.img rw\n"
      "69 68 0:45 / /srv/q/mnt/inner rw - fuseblk /img/b.img rw\n";
  std::vector<MountInfoEntry> table = ParseMountInfo(text);
  std::vector<std::string> points;
  for (const MountInfoEntry& e : MountsBelow(table, "/srv/q")) points.push_back(e.mount_point);
  EXPECT_EQ(points, (std::vector<std::string>{"/srv/q/mnt"}));
  EXPECT_EQ(MountsBelow(table, "/").size(), 3u);
  // A root inside a listed mount keeps that mount as its host.
  ASSERT_EQ(MountsBelow(table, "/srv/q/mnt").size(), 1u);
  EXPECT_EQ(MountsBelow(table, "/srv/q/mnt")[0].source, "/img/b.img");
}

#ifndef _WIN32

constexpr uint32_t kDelete = kUsnFileDelete, kClose = kUsnClose, kCreate = kUsnFileCreate;

// Appends one version 2 record to the image's stand-in journal.
void AppendJournalRecord(const std::string& image, uint32_t reason, uint64_t ref, uint64_t parent,
                         const std::u16string& name) {
  testing::UsnJournalFile journal(image);
  ASSERT_TRUE(journal.ok()) << "the first build creates the journal";
  journal.Add(reason, ref, parent, 0, name);
  ASSERT_TRUE(journal.Save());
}

TEST(NtfsDriveTest, ImageDriveBuildsInFullThenFollowsItsJournal) {
  BuildFixture f;
  std::string image = f.UnpackImage("basic4k", "basic4k.img");
  f.MapImage(u'N', image);
  ASSERT_EQ(f.RunInProcess({u"n"}), 0) << f.ReadLog();
  auto items = f.Items();
  // Values from the image's oracle listing (record 69 "a.b" in folder 66, one byte).
  const std::u16string ab = u"N:\\Docs\\Reports\\2024\\a.b";
  ASSERT_EQ(items.count(ab), 1u) << f.ReadLog();
  EXPECT_EQ(items[ab].size, 1u);
  EXPECT_EQ(items[ab].time, CompactTimeFromFileTime(134410620740601227ull));
  EXPECT_TRUE(items[u"N:\\été 中文"].folder);
  EXPECT_NE(f.ReadLog().find("(NTFS Mode)"), std::string::npos);

  // The journal says a.b was deleted: the second build reads only that.
  auto sequences = testing::MftSequences(image);
  AppendJournalRecord(image, kDelete | kClose, (uint64_t{sequences[69]} << 48) | 69,
                      (uint64_t{sequences[66]} << 48) | 66, u"a.b");
  // Ctrl-C during the change pass: the drive keeps its records and its journal position
  // exactly, so the next build reads the same changes again.
  auto w = f.Writer();
  ASSERT_TRUE(w);
  const DriveState state = w->drive_state(13);
  w.reset();
  std::atomic<bool> cancel{true};
  EXPECT_EQ(f.RunInProcess({u"n"}, &cancel), kExitCanceled);
  EXPECT_EQ(f.Items(), items);
  w = f.Writer();
  ASSERT_TRUE(w);
  EXPECT_EQ(w->drive_state(13).journal_id, state.journal_id);
  EXPECT_EQ(w->drive_state(13).journal_next, state.journal_next);
  EXPECT_EQ(w->drive_state(13).serial, state.serial);
  w.reset();

  ASSERT_EQ(f.RunInProcess({u"n"}), 0);
  auto after = f.Items();
  EXPECT_NE(f.ReadLog().find("(No full scan needed)"), std::string::npos) << f.ReadLog();
  EXPECT_EQ(after.count(ab), 0u);
  EXPECT_EQ(after.size(), items.size() - 1);

  // Nothing new since: the stored position is the journal's end, which is still inside
  // it, so the change pass runs and finds nothing (no rescan).
  ASSERT_EQ(f.RunInProcess({u"n"}), 0);
  EXPECT_NE(f.ReadLog().find("(No full scan needed)"), std::string::npos) << f.ReadLog();
  EXPECT_NE(f.ReadLog().find("0 change records processed."), std::string::npos) << f.ReadLog();
  EXPECT_EQ(f.ReadLog().find("Doing full scan"), std::string::npos) << f.ReadLog();
  EXPECT_EQ(f.Items(), after);
}

// The NTFS reference of the item at a path below an image's root ("Private/Inner").
uint64_t ImageReference(const std::string& image, const std::vector<std::u16string>& path) {
  std::unique_ptr<RawVolume> volume;
  if (!Env::Default()->OpenRawVolume(FromUtf8(image), &volume).ok()) return 0;
  MftParser parser(std::move(volume), nullptr);
  if (parser.LoadMFT() == 0) return 0;
  parser.ReadMftRecords();
  uint64_t at = ntfs::kRootRecord;
  for (const std::u16string& name : path) {
    uint32_t found = 0;
    for (uint32_t i = ntfs::kFirstUserRecord; i < parser.entry_count() && found == 0; ++i) {
      const MftEntry& e = parser.entry(i);
      if (e.in_use() && e.parent == at && parser.name(e) == name) found = i;
    }
    if (found == 0) return 0;
    at = found;
  }
  return at | (uint64_t{parser.entry(static_cast<uint32_t>(at)).sequence} << 48);
}

// Markers of an image drive are read from the image: the marked folder stays out of the
// full scan and of the change pass after it, the ignored-folder list keeps it across
// builds, and a file of the marker's name on the host at the folder's index path counts
// for nothing.
TEST(NtfsDriveTest, ImageDriveMarkersComeFromTheImage) {
  BuildFixture f;
  std::string image = f.UnpackImage("basic4k", "markers.img");
  f.MapImage(u'N', image);
  // Host files where an index path of the image, read as a host path, would lead.
  for (const char* host : {"N:/Docs/_nuskignore", "N:\\Docs\\_nuskignore"}) {
    std::filesystem::create_directories(std::filesystem::path(host).parent_path().empty()
                                            ? std::filesystem::path(".")
                                            : std::filesystem::path(host).parent_path());
    std::ofstream(host) << "";
  }
  struct Cleanup {
    ~Cleanup() {
      std::filesystem::remove_all("N:");
      std::filesystem::remove("N:\\Docs\\_nuskignore");
    }
  } cleanup;
  ASSERT_EQ(f.RunInProcess({u"n"}), 0) << f.ReadLog();
  const std::vector<std::u16string> ignored{u"N:\\Private"};
  EXPECT_EQ(ReadIgnoredFolders(Profile::Default(), f.SettingsPath()), ignored);
  auto items = f.Items();
  EXPECT_EQ(items.count(u"N:\\Private"), 0u);
  EXPECT_EQ(items.count(u"N:\\Docs\\readme.txt"), 1u);

  auto w = f.Writer();
  ASSERT_TRUE(w);
  const size_t count = w->item_count();
  w.reset();
  const uint64_t inner = ImageReference(image, {u"Private", u"Inner"});
  const uint64_t docs = ImageReference(image, {u"Docs"});
  ASSERT_NE(inner, 0u);
  ASSERT_NE(docs, 0u);
  AppendJournalRecord(image, kCreate | kClose, (uint64_t{1} << 48) | 900, inner, u"late.txt");
  AppendJournalRecord(image, kCreate | kClose, (uint64_t{1} << 48) | 901, docs, u"fresh.txt");
  ASSERT_EQ(f.RunInProcess({u"n"}), 0) << f.ReadLog();
  EXPECT_NE(f.ReadLog().find("(No full scan needed)"), std::string::npos) << f.ReadLog();
  items = f.Items();
  EXPECT_EQ(items.count(u"N:\\Docs\\fresh.txt"), 1u);
  w = f.Writer();
  ASSERT_TRUE(w);
  EXPECT_EQ(w->item_count(), count + 1) << "late.txt went in below the marked folder";
  EXPECT_EQ(ReadIgnoredFolders(Profile::Default(), f.SettingsPath()), ignored);
}

TEST(NtfsDriveTest, AShortVolumeReadFailsTheDriveAndKeepsItsRecords) {
  BuildFixture f;
  std::string image = f.UnpackImage("basic4k", "basic4k.img");
  f.MapImage(u'N', image);
  ASSERT_EQ(f.RunInProcess({u"n"}), 0) << f.ReadLog();
  const auto before = f.Items();
  // Without a journal the next build reads the whole MFT; the volume ends 20 records in.
  std::remove((image + ".usnjrnl").c_str());
  std::ifstream in(image, std::ios::binary);
  char boot[512];
  ASSERT_TRUE(in.read(boot, sizeof boot));
  uint16_t sector;
  uint64_t mft_cluster;
  std::memcpy(&sector, boot + 0x0B, 2);
  std::memcpy(&mft_cluster, boot + 0x30, 8);
  const uint64_t cluster = uint64_t{sector} * static_cast<uint8_t>(boot[0x0D]);
  testing::FaultInjectionEnv env;
  env.volume_bytes = static_cast<int64_t>(mft_cluster * cluster + 20 * 1024);
  EXPECT_EQ(f.RunInProcess({u"n"}, nullptr, &env), kExitDriveFailed);
  EXPECT_NE(f.ReadLog().find("Drive N could not be read completely"), std::string::npos) << f.ReadLog();
  EXPECT_EQ(f.Items(), before);
  auto w = f.Writer();
  ASSERT_TRUE(w);
  EXPECT_EQ(w->drive_state(13).journal_id, 0u) << "the next build reads the volume in full";
  w.reset();
  ASSERT_EQ(f.RunInProcess({u"n"}), 0) << f.ReadLog();
  EXPECT_EQ(f.Items(), before);
}

// Items below prefix, keyed by the rest of their path.
std::map<std::u16string, BuildFixture::Item> Below(const std::map<std::u16string, BuildFixture::Item>& items,
                                                   const std::u16string& prefix) {
  std::map<std::u16string, BuildFixture::Item> out;
  for (const auto& [path, item] : items) {
    if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0)
      out[path.substr(prefix.size())] = item;
  }
  return out;
}

TEST(NtfsDriveTest, VolumesMountedInAWalkedDriveFillTheirMountSlots) {
  std::string why;
  if (!NtfsMount::Possible(&why)) GTEST_SKIP() << "cannot mount NTFS images here: " << why;
  BuildFixture f;
  std::u16string root = f.MapDrive(u'Q', u"q");
  f.drives().WriteFile(u"q/top.txt", "t");
  Env::Default()->CreateFolder(root + u"sub");
  Env::Default()->CreateFolder(root + u"sub/mnt");
  std::string folder = ToUtf8(root) + "sub/mnt";
  // The same image as a drive of its own tells what the mounted volume must hold.
  f.MapImage(u'N', f.UnpackImage("basic4k", "reference.img"));
  NtfsMount basic(f.UnpackImage("basic4k", "mounted.img"), folder);
  ASSERT_TRUE(basic.mounted());
  ASSERT_EQ(f.RunInProcess({}), 0) << f.ReadLog();
  auto items = f.Items();
  auto expected = Below(items, u"N:\\");
  auto mounted = Below(items, u"Q:\\sub\\mnt\\");
  ASSERT_GT(expected.size(), 30u);
  EXPECT_TRUE(mounted == expected) << mounted.size() << " vs " << expected.size() << "\n" << f.ReadLog();
  EXPECT_EQ(items.count(u"Q:\\top.txt"), 1u);
  auto w = f.Writer();
  ASSERT_TRUE(w);
  EXPECT_FALSE(w->mount_state(1).free());
  EXPECT_EQ(RefDrive(w->mount_state(1).mount_folder_ref), u'Q' - u'A');
  EXPECT_EQ(w->mount_state(1).volume_guid.size(), 16u);
  const auto first_guid = w->mount_state(1).volume_guid;
  w.reset();

  // Another volume in the same folder replaces the first one in the same slot.
  basic.Unmount();
  ASSERT_FALSE(basic.mounted());
  NtfsMount other(f.UnpackImage("rec4096", "other.img"), folder);
  ASSERT_TRUE(other.mounted());
  ASSERT_EQ(f.RunInProcess({u"q"}), 0);
  auto replaced = Below(f.Items(), u"Q:\\sub\\mnt\\");
  EXPECT_FALSE(replaced.empty());
  EXPECT_EQ(replaced.count(u"Docs\\Reports\\2024\\a.b"), 0u);
  w = f.Writer();
  ASSERT_TRUE(w);
  EXPECT_NE(w->mount_state(1).volume_guid, first_guid);
  EXPECT_TRUE(w->mount_state(2).free());
  w.reset();

  // Unmounted: its items go and its slot is freed; the folder itself stays.
  other.Unmount();
  ASSERT_EQ(f.RunInProcess({u"q"}), 0);
  auto gone = f.Items();
  EXPECT_TRUE(Below(gone, u"Q:\\sub\\mnt\\").empty());
  EXPECT_EQ(gone.count(u"Q:\\sub\\mnt"), 1u);
  w = f.Writer();
  ASSERT_TRUE(w);
  EXPECT_TRUE(w->mount_state(1).free());
}

#endif  // !_WIN32

}  // namespace
}  // namespace nusk
