// The synthetic MFT records that the parse benchmark measures, written into a real mkntfs
// volume: ntfs-3g (ntfsinfo, ntfscat) and the project's reader must both find in each
// record what the generator meant. Needs mkntfs and ntfsinfo (Debian package ntfs-3g).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "bench/mft_synthetic.h"
#include "platform/raw_volume.h"
#include "scan/mft_parser.h"
#include "tests/testing/test_env.h"
#include "tools/mft_inject/mft_inject.h"
#include "util/utf.h"

namespace nusk {
namespace {

using Records = bench::SyntheticRecords;
// Three folders, the last one part full; records 1024 and up include sparse files past 4 GiB.
constexpr uint32_t kRecords = 2200;

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::string bytes(in ? static_cast<size_t>(in.tellg()) : 0, '\0');
  in.seekg(0).read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

// An empty volume of size_mb from mkntfs with 4096-byte clusters; "" when it fails.
std::string MakeVolume(const testing::TempDir& dir, const std::string& name, int size_mb) {
  const std::string image = ToUtf8(dir.path()) + name;
  const bool ok = Shell("truncate -s " + std::to_string(size_mb) + "M '" + image +
                        "' && mkntfs -F -Q -q -c 4096 -s 512 '" + image + "' >/dev/null 2>&1");
  return ok ? image : "";
}

// What ntfsinfo shows of one record: the header, then values keyed by attribute and
// field ("$FILE_NAME/Filename"); a field seen twice in one attribute keeps the first.
struct NtfsInfo {
  bool loaded = false;
  std::map<std::string, std::string> fields;
  std::string Get(const std::string& key) const {
    auto it = fields.find(key);
    return it == fields.end() ? "(missing " + key + ")" : it->second;
  }
};

NtfsInfo RunNtfsInfo(const std::string& image, uint32_t n, const std::string& out) {
  NtfsInfo info;
  // ntfsinfo exits with 0 also when the record cannot be loaded.
  info.loaded = Shell("TZ=UTC ntfsinfo -i " + std::to_string(n) + " '" + image + "' >'" + out + "' 2>&1") &&
                ReadAll(out).find("Error loading node") == std::string::npos;
  std::istringstream lines(ReadAll(out));
  std::string line, attribute = "header";
  while (std::getline(lines, line)) {
    if (line.rfind("Dumping attribute ", 0) == 0) {
      attribute = line.substr(18, line.find(' ', 18) - 18);
      continue;
    }
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const size_t key_start = line.find_first_not_of('\t'), value_start = line.find_first_not_of(" \t", colon + 1);
    if (key_start >= colon) continue;
    const std::string key = attribute + "/" + line.substr(key_start, colon - key_start);
    info.fields.emplace(key, value_start == std::string::npos ? "" : line.substr(value_start));
  }
  return info;
}

// A number as ntfsinfo prints it: "266435 (0x410c3)".
std::string Number(uint64_t v) {
  char hex[32];
  std::snprintf(hex, sizeof hex, "%llx", static_cast<unsigned long long>(v));
  return std::to_string(v) + " (0x" + hex + ")";
}

// A FILETIME as ntfsinfo prints it: "Sat Jun 18 04:27:45 2022 UTC" (whole seconds).
std::string TimeText(uint64_t filetime) {
  const std::time_t t = static_cast<std::time_t>(filetime / 10000000 - 11644473600ull);
  const std::tm* tm = std::gmtime(&t);
  char day[16], rest[32];
  std::strftime(day, sizeof day, "%a %b", tm);
  std::strftime(rest, sizeof rest, "%H:%M:%S %Y UTC", tm);
  char text[64];
  std::snprintf(text, sizeof text, "%s %2d %s", day, tm->tm_mday, rest);
  return text;
}

class SyntheticMftCheck : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!Shell("command -v mkntfs >/dev/null 2>&1 && command -v ntfsinfo >/dev/null 2>&1")) return;
    dir_ = new testing::TempDir;
    image_ = MakeVolume(*dir_, "synthetic.img", 32);
    if (image_.empty()) return;
    Status s = tools::MftInjector::Inject(image_, kRecords);
    injected_ = s.ok() ? "ok" : s.message();
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override {
    if (!dir_) GTEST_SKIP() << "mkntfs and ntfsinfo (Debian package ntfs-3g) are needed for this check";
    ASSERT_FALSE(image_.empty()) << "mkntfs failed";
    ASSERT_EQ(injected_, "ok");
  }

  static testing::TempDir* dir_;
  static std::string image_, injected_;
};
testing::TempDir* SyntheticMftCheck::dir_ = nullptr;
std::string SyntheticMftCheck::image_, SyntheticMftCheck::injected_;

// ntfs-3g's own reading of chosen records: each folder, the first and last files of each,
// sparse files below and past 4 GiB, and records that are formatted but free.
TEST_F(SyntheticMftCheck, NtfsinfoReadsWhatTheGeneratorMeant) {
  const std::string out = ToUtf8(dir_->path()) + "ntfsinfo.txt";
  for (uint32_t n : {64u, 65u, 66u, 97u, 1063u, 1064u, 1065u, 1067u, 2064u, 2134u, 2199u}) {
    SCOPED_TRACE("record " + std::to_string(n));
    const NtfsInfo info = RunNtfsInfo(image_, n, out);
    ASSERT_TRUE(info.loaded) << ReadAll(out);
    EXPECT_EQ(ReadAll(out).find("rror"), std::string::npos) << ReadAll(out);
    EXPECT_EQ(info.Get("header/MFT Record Seq. Numb."), Number(Records::SequenceOf(n)));
    EXPECT_EQ(info.Get("header/MFT Record Flags"), Records::IsFolder(n) ? "IN_USE DIRECTORY " : "IN_USE ");
    EXPECT_EQ(info.Get("$FILE_NAME/Filename"), "'" + ToUtf8(Records::NameOf(n)) + "'");
    EXPECT_EQ(info.Get("$FILE_NAME/Namespace"), "Win32");
    EXPECT_EQ(info.Get("$FILE_NAME/Parent directory"), Number(Records::ParentOf(n)));
    EXPECT_EQ(info.Get("$STANDARD_INFORMATION/File Altered Time"), TimeText(Records::TimeOf(n)));
    if (Records::IsFolder(n)) {
      EXPECT_EQ(info.Get("$INDEX_ROOT/Index entries total"), "1");
      EXPECT_EQ(info.fields.count("$DATA/Data size"), 0u);
    } else {
      EXPECT_EQ(info.Get("$DATA/Data size"), Number(Records::SizeOf(n)));
      EXPECT_EQ(info.Get("$FILE_NAME/Data Size"), Number(Records::SizeOf(n)));
    }
  }
  for (uint32_t n : {27u, 63u}) EXPECT_FALSE(RunNtfsInfo(image_, n, out).loaded) << n << ": " << ReadAll(out);
  // The sparse run list is read back whole: a file of zeros of the meant length.
  ASSERT_TRUE(Shell("ntfscat -i 98 '" + image_ + "' >'" + out + "'"));
  EXPECT_TRUE(ReadAll(out) == std::string(Records::SizeOf(98), '\0'));
}

// The project's reader over the image, and over the benchmark's in-memory volume of the
// same records: both must give what the generator meant.
TEST_F(SyntheticMftCheck, ProjectReaderReadsTheSameRecordsInImageAndBenchVolume) {
  std::unique_ptr<RawVolume> volume;
  ASSERT_TRUE(Env::Default()->OpenRawVolume(FromUtf8(image_), &volume).ok());
  std::string log;
  auto to_log = [&log](const std::string& line) { log += line + "\n"; };
  MftParser from_image(std::move(volume), to_log);
  MftParser from_bench(std::make_unique<bench::SyntheticVolume>(kRecords), to_log);
  for (MftParser* parser : {&from_image, &from_bench}) {
    SCOPED_TRACE(parser == &from_image ? "image" : "bench volume");
    ASSERT_EQ(parser->LoadMFT(), uint64_t{kRecords} * Records::kRecord) << log;
    ASSERT_TRUE(parser->ReadMftRecords()) << log;
    EXPECT_EQ(parser->skipped_records(), 0u) << log;
    ASSERT_EQ(parser->entry_count(), kRecords);
    for (uint32_t n = 27; n < kRecords; ++n) {
      SCOPED_TRACE("record " + std::to_string(n));
      const MftEntry& e = parser->entry(n);
      ASSERT_EQ(e.in_use(), Records::InUse(n));
      if (!e.in_use()) continue;
      ASSERT_EQ(parser->name(e), Records::NameOf(n));
      ASSERT_EQ(e.is_folder(), Records::IsFolder(n));
      ASSERT_EQ(e.parent, Records::ParentOf(n));
      ASSERT_EQ(e.sequence, Records::SequenceOf(n));
      ASSERT_EQ(e.time, Records::TimeOf(n));
      if (Records::IsFolder(n)) ASSERT_FALSE(e.size_known());  // folders have no $DATA
      else ASSERT_EQ(e.size, Records::SizeOf(n));
    }
  }
}

// A volume without free clusters behind its MFT is refused with the reason, unchanged.
TEST_F(SyntheticMftCheck, InjectorRefusesAVolumeTooSmallAndLeavesItAsItWas) {
  const std::string small = MakeVolume(*dir_, "small.img", 8);
  ASSERT_FALSE(small.empty());
  const std::string before = ReadAll(small);
  Status s = tools::MftInjector::Inject(small, kRecords);
  EXPECT_NE(s.message().find("make a larger volume"), std::string::npos) << s.message();
  EXPECT_TRUE(ReadAll(small) == before);
}

}  // namespace
}  // namespace nusk
