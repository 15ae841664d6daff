// Full scans of real NTFS images compared with what the mounted file system shows.
#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "ntfs_test_util.h"
#include "scan/mft_parser.h"
#include "scan/ntfs_layout.h"
#include "scan/ntfs_volume_scanner.h"
#include "platform/env.h"
#include "util/utf.h"

namespace nusk {
namespace {

using ntfs_test::OracleItem;

struct ScanResult {
  ntfs_test::CollectingListener listener;
  std::vector<std::string> log;
  bool ok = false;
};

// image empty: the volume of drive N: itself ("\\.\N:").
void FullScan(const std::string& image, const ExclusionSettings& settings, ScanResult* out) {
  NtfsVolumeConfig config;
  config.drive_letter = u'N';
  config.volume_path = FromUtf8(image);
  NtfsVolumeScanner scanner(
      Env::Default(), config, &settings, &out->listener, [out](const std::string& line) { out->log.push_back(line); },
      nullptr);
  out->ok = scanner.ScanMft();
}

// Every item the mounted file system shows (less the marked trees) is delivered exactly
// once with the oracle's record number, name, parent, kind, size and time, and nothing else.
// *delivered (when given) receives the records in delivery order.
void ExpectScanMatchesOracle(const std::string& image, const std::string& oracle_path,
                             std::vector<ScanRecord>* delivered = nullptr) {
  ExclusionSettings settings;
  ScanResult scan;
  FullScan(image, settings, &scan);
  if (delivered) *delivered = scan.listener.added;
  ASSERT_TRUE(scan.ok) << (scan.log.empty() ? "" : scan.log.back());
  std::map<uint32_t, OracleItem> oracle = ntfs_test::LoadOracle(oracle_path);
  ASSERT_FALSE(oracle.empty());
  std::set<uint32_t> ignored = ntfs_test::IgnoredByMarkers(oracle);

  const auto& added = scan.listener.added;
  ASSERT_FALSE(added.empty());
  EXPECT_EQ(added[0].name, u"N:");
  EXPECT_EQ(added[0].parent_reference, 0u);
  EXPECT_EQ(added[0].is_folder, 1);
  EXPECT_EQ(RefRecord(added[0].reference), 5u);

  std::map<uint32_t, const ScanRecord*> by_record;
  for (size_t i = 1; i < added.size(); ++i) {
    const ScanRecord& r = added[i];
    EXPECT_EQ(RefDriveMountBits(r.reference), 'N' - 'A');
    EXPECT_TRUE(by_record.emplace(RefRecord(r.reference), &r).second)
        << "record delivered twice: " << RefRecord(r.reference);
  }
  for (const auto& [rec, item] : oracle) {
    auto it = by_record.find(rec);
    if (ignored.count(rec)) {
      EXPECT_EQ(it, by_record.end()) << "item below a marker was delivered: " << rec;
      continue;
    }
    ASSERT_NE(it, by_record.end()) << "record " << rec << " (" << ntfs_test::Narrow(*item.names.begin()) << ") missing";
    const ScanRecord& r = *it->second;
    std::string label = ntfs_test::Narrow(r.name);
    EXPECT_TRUE(item.names.count(r.name)) << label;
    EXPECT_TRUE(item.parents.count(RefRecord(r.parent_reference))) << label;
    EXPECT_EQ(r.is_folder, item.is_folder ? 1 : 0) << label;
    EXPECT_EQ(r.size, item.is_folder ? 0u : ntfs::ToSizeForm(item.size)) << label;
    EXPECT_EQ(r.time, ntfs::ToCompactTime(item.filetime)) << label;
  }
  for (const auto& [rec, r] : by_record)
    EXPECT_TRUE(oracle.count(rec)) << "delivered but not on the volume: " << ntfs_test::Narrow(r->name);
}

void ExpectMatchesOracle(const std::string& name) {
  std::string image, oracle_path, why;
  if (!ntfs_test::ObtainImage(name, &image, &oracle_path, &why)) GTEST_SKIP() << why;
  ExpectScanMatchesOracle(image, oracle_path);
}

// Scans a volume named by the environment and compares it with its oracle listing:
// NUSK_NTFS_DRIVE=N reads "\\.\N:" (under Wine, tests/ntfs/wine_drive_check.sh points
// drive N: at an image), NUSK_NTFS_IMAGE reads an image file. NUSK_NTFS_RECORDS names a
// file that receives the delivered records, one line each, so that the script can check
// that the Windows and the Linux build deliver exactly the same.
TEST(DriveLetterTest, VolumeThroughDriveLetterMatchesOracle) {
  Env* env = Env::Default();
  std::string image = ToUtf8(env->GetEnvVar(u"NUSK_NTFS_IMAGE"));
  std::u16string oracle = env->GetEnvVar(u"NUSK_NTFS_ORACLE");
  if ((image.empty() && env->GetEnvVar(u"NUSK_NTFS_DRIVE") != u"N") || oracle.empty())
    GTEST_SKIP()
        << "set NUSK_NTFS_DRIVE=N or NUSK_NTFS_IMAGE, and NUSK_NTFS_ORACLE (see tests/ntfs/wine_drive_check.sh)";
  std::vector<ScanRecord> delivered;
  ExpectScanMatchesOracle(image, ToUtf8(oracle), &delivered);
  std::string out = ToUtf8(env->GetEnvVar(u"NUSK_NTFS_RECORDS"));
  if (out.empty()) return;
  std::ofstream f(out, std::ios::binary | std::ios::trunc);
  for (const ScanRecord& r : delivered) {
    f << std::hex << r.reference << ' ' << r.parent_reference << ' ' << int{r.is_folder} << ' ' << r.size << ' '
      << r.time << ' ';
    for (char16_t c : r.name) f << static_cast<unsigned>(c) << '.';
    f << '\n';
  }
  ASSERT_TRUE(f.good()) << out;
}

TEST(MftImageTest, Cluster512Bytes) { ExpectMatchesOracle("small512"); }
TEST(MftImageTest, Cluster1KiB) { ExpectMatchesOracle("small1k"); }
TEST(MftImageTest, Cluster64KiB) { ExpectMatchesOracle("small64k"); }
TEST(MftImageTest, FileRecords4096Bytes) { ExpectMatchesOracle("rec4096"); }
TEST(MftImageTest, NamesLinksSizesDeletionsAndMarkers) { ExpectMatchesOracle("basic4k"); }
TEST(MftImageTest, ThousandLevelNesting) { ExpectMatchesOracle("deep"); }
TEST(MftImageTest, FragmentedMft) {
  ExpectMatchesOracle("fragmented");
  std::string image, oracle, why;
  if (!ntfs_test::ObtainImage("fragmented", &image, &oracle, &why)) GTEST_SKIP() << why;
  std::unique_ptr<RawVolume> volume;
  ASSERT_TRUE(Env::Default()->OpenRawVolume(FromUtf8(image), &volume).ok());
  MftParser parser(std::move(volume), nullptr);
  ASSERT_NE(parser.LoadMFT(), 0u);
  EXPECT_GT(parser.mft_runs().size(), 1u) << "the image no longer has a fragmented MFT";
}

// Cases whose expected values do not depend on the oracle's arithmetic.
TEST(MftImageTest, SizesAroundTheThirtyTwoBitForm) {
  std::string image, oracle, why;
  if (!ntfs_test::ObtainImage("basic4k", &image, &oracle, &why)) GTEST_SKIP() << why;
  ExclusionSettings settings;
  ScanResult scan;
  FullScan(image, settings, &scan);
  ASSERT_TRUE(scan.ok);
  std::map<std::u16string, const ScanRecord*> by_name;
  for (const ScanRecord& r : scan.listener.added) by_name[r.name] = &r;
  ASSERT_TRUE(by_name.count(u"max31.bin") && by_name.count(u"over31.bin") && by_name.count(u"huge.bin"));
  EXPECT_EQ(by_name[u"max31.bin"]->size, 0x7FFFFFFFu);
  EXPECT_EQ(static_cast<int32_t>(by_name[u"over31.bin"]->size), -2097152);
  EXPECT_EQ(static_cast<int32_t>(by_name[u"huge.bin"]->size), -5 * 1024 * 1024);
  // A named stream of 3000 bytes must not pass for the 5-byte file's size.
  ASSERT_TRUE(by_name.count(u"streams.txt"));
  EXPECT_EQ(by_name[u"streams.txt"]->size, 5u);
  // The marker's folder is reported with its full path.
  ASSERT_EQ(scan.listener.ignored.size(), 1u);
  EXPECT_EQ(scan.listener.ignored[0], u"N:\\Private");
  // Deleted files (even-numbered tmp files) are gone; odd ones stay.
  EXPECT_FALSE(by_name.count(u"tmp4.tmp"));
  EXPECT_TRUE(by_name.count(u"tmp5.tmp"));
}

TEST(MftImageTest, HiddenItemsAndNamePatternsAreLeftOut) {
  std::string image, oracle_path, why;
  if (!ntfs_test::ObtainImage("basic4k", &image, &oracle_path, &why)) GTEST_SKIP() << why;
  ExclusionSettings settings;
  settings.exclude_hidden = true;
  settings.exclude_by_name = true;
  ParseExcludeNames(u"*.TMP:reports\\:Quarterly*", &settings);
  ScanResult scan;
  FullScan(image, settings, &scan);
  ASSERT_TRUE(scan.ok);
  std::set<std::u16string> names;
  for (const ScanRecord& r : scan.listener.added) names.insert(r.name);
  EXPECT_FALSE(names.count(u"HiddenDir"));
  EXPECT_FALSE(names.count(u"Below"));  // below a hidden folder
  EXPECT_FALSE(names.count(u"x.txt"));
  EXPECT_FALSE(names.count(u"hidden.txt"));
  EXPECT_FALSE(names.count(u"tmp1.tmp"));  // suffix pattern, case ignored
  EXPECT_FALSE(names.count(u"Reports"));   // folder pattern, case ignored
  EXPECT_FALSE(names.count(u"2024"));      // below it
  EXPECT_TRUE(names.count(u"readme.txt"));
  EXPECT_TRUE(names.count(u"Docs"));
}

}  // namespace
}  // namespace nusk
