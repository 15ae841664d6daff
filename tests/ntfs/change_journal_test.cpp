// The change pass: changes made to a mounted image, described by a journal in the
// published USN_RECORD_V2 layout, must leave the same index as a full rescan. Names
// holding '\' (which ntfs-3g allows) keep it as U+F05C in every path, as on Linux.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "ntfs_test_util.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "scan/mft_parser.h"
#include "scan/mft_record.h"
#include "platform/env.h"
#include "scan/ntfs_volume_scanner.h"
#include "scan/usn_record.h"
#include "tests/testing/ntfs_image.h"
#include "tests/testing/test_env.h"
#include "tests/testing/usn_journal_file.h"
#include "util/utf.h"

namespace nusk {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kOverwrite = kUsnDataOverwrite, kExtend = kUsnDataExtend, kCreate = kUsnFileCreate,
                   kDelete = kUsnFileDelete, kOldName = kUsnRenameOldName, kNewName = kUsnRenameNewName,
                   kClose = kUsnClose;

using JournalWriter = testing::UsnJournalFile;

uint32_t Inode(const fs::path& p) {
  struct stat st;
  return stat(p.string().c_str(), &st) == 0 ? static_cast<uint32_t>(st.st_ino) : 0;
}

// One journaled change, recorded while the image is mounted; references get their
// sequence numbers once the image is parsed again.
struct Change {
  uint32_t reason;
  uint32_t record;
  uint32_t parent;
  bool folder;
  std::u16string name;
};

class ChangeScript {
 public:
  explicit ChangeScript(fs::path root) : root_(std::move(root)) {}
  void CreateFile(const std::string& rel, size_t size) {
    std::ofstream(root_ / rel) << std::string(size, 'z');
    Log(kCreate | kExtend | kClose, rel, false);
  }
  void CreateFolder(const std::string& rel) {
    fs::create_directory(root_ / rel);
    Log(kCreate | kClose, rel, true);
  }
  void Delete(const std::string& rel) {
    bool folder = fs::is_directory(root_ / rel);
    Change c = Describe(kDelete | kClose, rel, folder);
    fs::remove(root_ / rel);
    changes.push_back(c);
  }
  // with_old_name false: the old-name record lies before the stored position.
  void Rename(const std::string& from, const std::string& to, bool with_old_name = true) {
    bool folder = fs::is_directory(root_ / from);
    if (with_old_name) changes.push_back(Describe(kOldName, from, folder));
    fs::rename(root_ / from, root_ / to);
    Log(kNewName | kClose, to, folder);
  }
  void Append(const std::string& rel, size_t size) {
    std::ofstream(root_ / rel, std::ios::app) << std::string(size, 'a');
    Log(kExtend | kClose, rel, false);
  }
  void Overwrite(const std::string& rel) {
    std::fstream(root_ / rel, std::ios::in | std::ios::out) << "Q";
    Log(kOverwrite | kClose, rel, false);
  }
  std::vector<Change> changes;

 private:
  Change Describe(uint32_t reason, const std::string& rel, bool folder) {
    fs::path p = root_ / rel;
    return Change{reason, Inode(p), Inode(p.parent_path()), folder, FromUtf8(p.filename().string())};
  }
  void Log(uint32_t reason, const std::string& rel, bool folder) { changes.push_back(Describe(reason, rel, folder)); }
  fs::path root_;
};

NtfsVolumeConfig ImageConfig(const std::string& image) {
  NtfsVolumeConfig config;
  config.drive_letter = u'N';
  config.volume_path = FromUtf8(image);
  config.escape_backslash = true;
  return config;
}

// A private copy of a test image, without a journal; false with *why when none exists.
bool FreshCopy(const std::string& name, const std::string& suffix, std::string* image, std::string* why) {
  std::string source, oracle;
  if (!ntfs_test::ObtainImage(name, &source, &oracle, why)) return false;
  *image = source + suffix;
  fs::copy_file(source, *image, fs::copy_options::overwrite_existing);
  fs::remove(*image + ".usnjrnl");
  return true;
}

struct Scan {
  ntfs_test::CollectingListener listener;
  std::vector<std::string> log;
  uint64_t journal_id = 0, next_usn = 0;
  bool Run(const std::string& image, const ExclusionSettings& settings) {
    NtfsVolumeConfig config = ImageConfig(image);
    // Markers come from the image itself (its folders' indexes), as a build reads them.
    NtfsVolumeScanner scanner(
        Env::Default(), config, &settings, &listener, [this](const std::string& l) { log.push_back(l); }, nullptr);
    std::vector<MountedVolume> mounted;
    return scanner.ScanVolume(&journal_id, &next_usn, &mounted);
  }
  bool Logged(const std::string& line) const { return std::find(log.begin(), log.end(), line) != log.end(); }
};

// The first scanned item with this name, or null.
const ScanRecord* Named(const Scan& scan, std::u16string_view name) {
  for (const auto& [ref, r] : scan.listener.index)
    if (r.name == name) return &r;
  return nullptr;
}

// A scanned reference as the journal names it (without the drive number in bits 32-47).
uint64_t NtfsRef(uint64_t ref) { return NtfsReferenceOf(ref); }

// Overwrites n bytes of MFT record `number` in the image itself, at the offset locate
// finds in the record's bytes (0: not there). Fails when the record lies beyond the
// MFT's first run or the bytes would cover an update-sequence tail.
void PatchMftRecord(const std::string& image, uint32_t number,
                    const std::function<size_t(const uint8_t*, size_t)>& locate, const void* bytes, size_t n) {
  std::unique_ptr<RawVolume> volume;
  ASSERT_TRUE(Env::Default()->OpenRawVolume(FromUtf8(image), &volume).ok());
  MftParser parser(std::move(volume), nullptr);
  ASSERT_NE(parser.LoadMFT(), 0u);
  std::string rec;
  ASSERT_TRUE(parser.ReadRecord(number, &rec));
  const size_t field = locate(reinterpret_cast<const uint8_t*>(rec.data()), rec.size());
  ASSERT_NE(field, 0u);
  ASSERT_LE(field % 512 + n, 510u);
  const ntfs::BootInfo& boot = parser.boot();
  const ntfs::Run& run = parser.mft_runs().front();
  const uint64_t at = uint64_t{number} * boot.record_size;
  ASSERT_LE(at + boot.record_size, run.length * boot.cluster_size);
  std::fstream f(image, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(static_cast<std::streamoff>(run.lcn * boot.cluster_size + at + field));
  f.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(n));
  ASSERT_TRUE(f.good());
}

class ChangeJournalTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    std::string why, oracle;
    if (!ntfs_test::CanMakeImages(&why)) GTEST_SKIP() << why;
    std::string source;
    ASSERT_TRUE(ntfs_test::ObtainImage("basic4k", &source, &oracle, &why)) << why;
    // One copy per suite and case, so that tests run in parallel never share one.
    std::string suite = ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name();
    std::replace(suite.begin(), suite.end(), '/', '.');
    image_ = source + "." + suite + (GetParam() ? ".hidden" : ".plain") + ".img";
    mount_ = image_ + ".mnt";
    fs::remove(image_ + ".usnjrnl");
    fs::copy_file(source, image_, fs::copy_options::overwrite_existing);
    if (GetParam()) {
      settings_.exclude_hidden = true;
      settings_.exclude_by_name = true;
      ParseExcludeNames(u"*.log:Build\\", &settings_);
    }
  }
  void Mount() {
    mounted_ = std::make_unique<testing::NtfsMount>(image_, mount_);
    ASSERT_TRUE(mounted_->mounted());
  }
  void Unmount() { mounted_.reset(); }
  // Writes the journal for the script with sequence numbers from before and after it.
  void WriteJournal(const std::vector<Change>& changes, std::map<uint32_t, uint16_t> before) {
    std::map<uint32_t, uint16_t> after = testing::MftSequences(image_);
    auto ref = [&](uint32_t rec, bool deleted) {
      auto& first = deleted ? before : after;
      auto& second = deleted ? after : before;
      uint16_t seq = first.count(rec) ? first[rec] : second.count(rec) ? second[rec] : 1;
      return uint64_t{rec} | (uint64_t{seq} << 48);
    };
    JournalWriter journal(image_);
    ASSERT_TRUE(journal.ok());
    for (const Change& c : changes) {
      bool deleted = (c.reason & kDelete) != 0;
      journal.Add(c.reason, ref(c.record, deleted), ref(c.parent, false), c.folder ? 0x10 : 0x20, c.name);
    }
    journal.Save();
  }
  std::string image_, mount_;
  std::unique_ptr<testing::NtfsMount> mounted_;
  ExclusionSettings settings_;
};

TEST_P(ChangeJournalTest, ChangePassGivesTheSameIndexAsARescan) {
  Scan first;
  ASSERT_TRUE(first.Run(image_, settings_));
  ASSERT_TRUE(first.Logged("Doing full scan"));
  ASSERT_NE(first.journal_id, 0u);
  const std::map<uint32_t, uint16_t> before = testing::MftSequences(image_, true);

  Mount();
  ChangeScript s(mount_);
  s.CreateFile("Docs/new one\\.txt", 9);                // the '\' past the first four characters
  s.Rename("Docs/new one\\.txt", "Docs/new\\two.txt");  // old name seen in the pass
  s.CreateFile("Docs/new.txt", 100);
  s.CreateFolder("NewDir");
  s.CreateFile("NewDir/inner.bin", 3000);
  s.Delete("Docs/readme.txt");
  s.Rename("Docs/Case.txt", "Docs/Case-renamed.txt");
  s.Rename("Docs/Reports/2024/a.b", "NewDir/a.b");  // across folders
  s.Append("Docs/case.txt", 500);
  s.Overwrite("Docs/linked.dat");
  s.CreateFile("Docs/ephemeral.txt", 1);  // created then deleted
  s.Delete("Docs/ephemeral.txt");
  s.Rename("Docs/tmp1.tmp", "Docs/chain1");  // a rename chain
  s.Rename("Docs/chain1", "NewDir/chain2");
  s.Rename("Docs/tmp3.tmp", "Docs/renamed-early.txt", false);  // old name before the pass
  s.CreateFile("Docs/draft.log", 4);                           // saved through an excluded
  s.Rename("Docs/draft.log", "Docs/report.docx");              // name (second run)
  s.CreateFile("Private/Inner/more.txt", 5);                   // below a marker
  s.CreateFolder("NewIgnored");
  s.CreateFile("NewIgnored/_nuskignore", 0);
  s.CreateFile("NewIgnored/hidden-by-marker.txt", 5);
  s.CreateFile("HiddenDir/Below/new-in-hidden.txt", 5);  // below a hidden folder
  s.CreateFolder("Build");                               // folder pattern (second run)
  s.CreateFile("Build/out.log", 7);
  s.CreateFile("Docs/trace.log", 7);   // file pattern (second run)
  s.Rename("Links", "Links-renamed");  // a folder rename
  s.Delete("Docs/Reports/2024/Quarterly Financial Summary.xlsx");
  s.Delete("Docs/Reports/2024");  // a folder, emptied first
  std::vector<Change> changes = s.changes;
  Unmount();
  WriteJournal(changes, before);

  Scan second;
  second.listener.SeedFrom(first.listener);
  second.journal_id = first.journal_id;
  second.next_usn = first.next_usn;
  ASSERT_TRUE(second.Run(image_, settings_));
  EXPECT_TRUE(second.Logged("(No full scan needed)"));
  EXPECT_TRUE(second.listener.forgets.empty());
  EXPECT_GT(second.listener.renames, 0);
  EXPECT_NE(second.next_usn, first.next_usn);

  Scan rescan;
  rescan.journal_id = 0;
  ASSERT_TRUE(rescan.Run(image_, settings_));
  ASSERT_TRUE(rescan.Logged("Doing full scan"));

  const auto& scanned = rescan.listener.index;
  // The script reached the image: the rescan sees the new file and not the deleted one.
  auto has = [&scanned](const std::u16string& n) {
    return std::any_of(scanned.begin(), scanned.end(), [&n](const auto& kv) { return kv.second.name == n; });
  };
  EXPECT_TRUE(has(u"new.txt"));
  EXPECT_FALSE(has(u"readme.txt"));
  EXPECT_TRUE(has(u"new\uF05Ctwo.txt"));
  EXPECT_TRUE(has(u"report.docx"));
  // The real index after the pass holds exactly what it holds after a rescan, item for
  // item (a stale second name of one item shows as one more item of its reference).
  // A folder's time changes with no record for it. A file with several hard links gets
  // journal records under one of its names only, so the others keep their old size and
  // time until a rescan: for those only names and parents are compared.
  auto by_reference = [](const NuskDbWriter& writer) {
    std::map<uint64_t, std::vector<ntfs_test::WriterItem>> out;
    for (auto [ref, item] : ntfs_test::WriterItems(writer)) {
      if (item.key[0] == u'1') item.time = 0;
      out[ref].push_back(item);
    }
    for (auto& [ref, items] : out) {
      std::sort(items.begin(), items.end(), [](const auto& a, const auto& b) { return a.key < b.key; });
      if (items.size() > 1)
        for (auto& item : items) item.size = item.time = 0;
    }
    return out;
  };
  const auto got = by_reference(second.listener.writer);
  for (const auto& [ref, items] : by_reference(rescan.listener.writer)) {
    const std::string label = ntfs_test::Narrow(items[0].key);
    auto it = got.find(ref);
    ASSERT_NE(it, got.end()) << "missing after the change pass: " << label;
    EXPECT_EQ(it->second, items) << label;
  }
  const auto want = by_reference(rescan.listener.writer);
  for (const auto& [ref, items] : got)
    EXPECT_TRUE(want.count(ref)) << "left in the index by the change pass: " << ntfs_test::Narrow(items[0].key);
}

INSTANTIATE_TEST_SUITE_P(Settings, ChangeJournalTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "HiddenAndPatterns" : "Defaults"; });

// The program itself over an image drive: names holding '\' are found and shown with it,
// and after a change pass that renames one and deletes another, find lists exactly what
// a build from scratch lists.
class ImageDriveTest : public ChangeJournalTest {
 protected:
  ChildResult Nusk(const testing::TempDir& home, std::vector<std::u16string> args) {
    Profile::Default()->WriteString(home.path() + u"nusk.ini", u"Drives", u"N", FromUtf8(image_));
    args.insert(args.begin(), {u"--dbdir", home.path()});
    ChildResult r;
    EXPECT_TRUE(RunChild(FromUtf8(NUSK_BINARY_DIR "/app/nusk"), args, {}, 60000, &r).ok());
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    return r;
  }
};

TEST_P(ImageDriveTest, BackslashNamesThroughFindAndTheChangePass) {
  Mount();
  std::ofstream(mount_ + "/Docs/pre\\sent.txt") << "pre";
  std::ofstream(mount_ + "/Docs/gone\\soon.txt") << "gone";
  Unmount();
  const std::map<uint32_t, uint16_t> before = testing::MftSequences(image_, true);
  testing::TempDir home, fresh;
  Nusk(home, {u"build"});
  EXPECT_EQ(Nusk(home, {u"find", u"sent"}).out, "N:/Docs/pre\\sent.txt\n");

  Mount();
  ChangeScript s(mount_);
  s.Rename("Docs/pre\\sent.txt", "Docs/re\\named.txt");
  s.Delete("Docs/gone\\soon.txt");
  s.CreateFile("Docs/added.txt\\", 3);
  std::vector<Change> changes = s.changes;
  Unmount();
  WriteJournal(changes, before);
  Nusk(home, {u"build"});
  std::ifstream log(ToUtf8(home.path()) + "nusk.build.log");
  EXPECT_NE(std::string(std::istreambuf_iterator<char>(log), {}).find("(No full scan needed)"), std::string::npos);
  Nusk(fresh, {u"build"});
  const std::string listed = Nusk(home, {u"find", u"txt"}).out;
  EXPECT_EQ(listed, Nusk(fresh, {u"find", u"txt"}).out);
  EXPECT_NE(listed.find("N:/Docs/re\\named.txt\n"), std::string::npos) << listed;
  EXPECT_NE(listed.find("N:/Docs/added.txt\\\n"), std::string::npos) << listed;
  EXPECT_EQ(listed.find("soon"), std::string::npos) << listed;
}

INSTANTIATE_TEST_SUITE_P(Defaults, ImageDriveTest, ::testing::Values(false));

// Which stored states lead to a full scan, and what a cancelled pass leaves behind.
TEST(ChangeJournalStateTest, FullScanFallbacks) {
  std::string image, why;
  if (!FreshCopy("rec4096", ".state.img", &image, &why)) GTEST_SKIP() << why;
  ExclusionSettings settings;

  Scan first;  // first build: no stored journal id
  ASSERT_TRUE(first.Run(image, settings));
  EXPECT_TRUE(first.Logged("Doing full scan"));
  EXPECT_EQ(first.next_usn, ~uint64_t{0});  // empty journal: read from its start next time

  Scan same;  // all ones with the same id: change pass from USN 0, no full scan
  same.journal_id = first.journal_id;
  same.next_usn = first.next_usn;
  ASSERT_TRUE(same.Run(image, settings));
  EXPECT_TRUE(same.Logged("(No full scan needed)"));
  EXPECT_TRUE(same.listener.forgets.empty());

  Scan other_id;  // journal recreated since
  other_id.journal_id = first.journal_id + 1;
  other_id.next_usn = 8;
  ASSERT_TRUE(other_id.Run(image, settings));
  EXPECT_TRUE(other_id.Logged("Doing full scan"));
  ASSERT_EQ(other_id.listener.forgets.size(), 1u);
  EXPECT_EQ(other_id.listener.forgets[0], std::make_pair(u'N', uint8_t{0}));

  // A position beyond the journal's end cannot be trusted either.
  Scan future;
  future.journal_id = first.journal_id;
  future.next_usn = 1u << 20;
  ASSERT_TRUE(future.Run(image, settings));
  EXPECT_TRUE(future.Logged("Doing full scan"));

  // A volume whose MFT cannot be read keeps its records and is scanned in full next time.
  std::string not_ntfs = image + ".zeros";
  std::ofstream(not_ntfs, std::ios::binary) << std::string(1 << 16, '\0');
  fs::remove(not_ntfs + ".usnjrnl");
  Scan unreadable;
  unreadable.journal_id = 7;
  unreadable.next_usn = 8;
  EXPECT_FALSE(unreadable.Run(not_ntfs, settings));
  EXPECT_TRUE(unreadable.listener.forgets.empty());
  EXPECT_EQ(unreadable.journal_id, 0u);

  // A record of a version this reader does not know, or whose USN leaves no position
  // after it, stops the pass and forces a full scan next time instead of being misread.
  const std::string clean = image + ".clean.usnjrnl";
  fs::copy_file(image + ".usnjrnl", clean, fs::copy_options::overwrite_existing);
  for (bool bad_usn : {false, true}) {
    fs::copy_file(clean, image + ".usnjrnl", fs::copy_options::overwrite_existing);
    JournalWriter journal(image);
    if (bad_usn) journal.SetNextUsn(INT64_MAX - 40);
    journal.Add(kCreate | kClose, 70, 5, 0x20, u"x", bad_usn ? 2 : 4);
    journal.Save();
    Scan unknown;
    unknown.journal_id = first.journal_id;
    unknown.next_usn = ~uint64_t{0};
    EXPECT_FALSE(unknown.Run(image, settings)) << bad_usn;
    EXPECT_EQ(unknown.journal_id, 0u);
    EXPECT_TRUE(unknown.listener.added.empty());
  }
}

// MFT records read in one pass must not serve a later one: the volume may have changed
// in between (the same holds for every journal batch within a pass).
TEST(ChangeJournalStateTest, RecordsReadInAnEarlierPassAreReadAgain) {
  std::string image, why;
  if (!FreshCopy("basic4k", ".reread.img", &image, &why)) GTEST_SKIP() << why;
  ExclusionSettings settings;
  Scan first;
  ASSERT_TRUE(first.Run(image, settings));
  const ScanRecord* readme = Named(first, u"readme.txt");
  ASSERT_NE(readme, nullptr);
  const ScanRecord item = *readme;
  const uint64_t ntfs_ref = NtfsRef(item.reference), ntfs_parent = NtfsRef(item.parent_reference);
  JournalWriter journal(image);
  journal.Add(kExtend | kClose, ntfs_ref, ntfs_parent, 0x20, item.name);
  journal.Save();

  ntfs_test::CollectingListener listener;
  listener.index = first.listener.index;
  NtfsVolumeConfig config = ImageConfig(image);
  NtfsVolumeScanner scanner(Env::Default(), config, &settings, &listener, nullptr, nullptr);
  ASSERT_TRUE(scanner.OpenVolumeJournal());
  int64_t usn = 0;
  ASSERT_TRUE(scanner.ReadChanges(&usn));
  ASSERT_EQ(listener.updates, 1);
  EXPECT_EQ(listener.index[item.reference].size, item.size);

  // Shrink the file's size in the image itself, then journal one more change.
  const uint32_t smaller = 7;
  auto size_field = [](const uint8_t* r, size_t size) -> size_t {
    size_t data = ntfs::FindAttribute(r, size, ntfs::kAttrData, true);
    return data == 0 ? 0 : data + (r[data + 8] == 0 ? 16 : 48);  // resident value length or data size
  };
  ASSERT_NO_FATAL_FAILURE(PatchMftRecord(image, RefRecord(item.reference), size_field, &smaller, 4));
  journal.Add(kExtend | kClose, ntfs_ref, ntfs_parent, 0x20, item.name);
  journal.Save();
  ASSERT_TRUE(scanner.ReadChanges(&usn));
  ASSERT_EQ(listener.updates, 2);
  EXPECT_EQ(listener.index[item.reference].size, 7u);
}

// The build's listener over the real index: a rename from a name the index never held
// (a temporary name left out by a pattern) adds the item, once, even when a later pass
// reads the same records again; an item renamed under a name the scanner never saw goes
// by its reference.
TEST(DbListenerTest, RenamesFromUnknownNamesAddOnceAndDeleteByReference) {
  NuskDbWriter writer;
  CNuskToDbListener listener(&writer);
  const uint64_t drive = uint64_t{13} << 32;
  ScanRecord root{drive | 5, 0, 0, 0, true, u"N:", {}};
  listener.AddRecord(root);
  ScanRecord saved{drive | 40, root.reference, 7, 10, false, u"report.docx", {}};
  const std::u16string temporary = u"x.tmp";
  for (uint32_t size : {10u, 12u}) {
    saved.size = size;
    listener.UpdateRecord(saved, &temporary);
    auto items = ntfs_test::WriterItems(writer);
    ASSERT_EQ(items.count(saved.reference), 1u);
    EXPECT_EQ(items.find(saved.reference)->second.size, size);
  }
  ScanRecord renamed = saved;
  renamed.name = u"final.docx";  // its old name "report.docx" was read by an earlier pass
  listener.DeleteByReference(renamed);
  listener.AddRecord(renamed);
  auto items = ntfs_test::WriterItems(writer);
  ASSERT_EQ(items.count(saved.reference), 1u);
  EXPECT_EQ(items.find(saved.reference)->second.key.substr(0, 6), u"2final");
}

// A marker created in a folder that exists (and that an earlier creation in the pass
// found kept) leaves the folder out from then on and reports it as ignored.
TEST(ChangeJournalStateTest, NewMarkerInAnExistingFolderIsReportedAndKeepsLaterItemsOut) {
  std::string image, why;
  if (!FreshCopy("basic4k", ".marker.img", &image, &why)) GTEST_SKIP() << why;
  ExclusionSettings settings;
  Scan first;
  ASSERT_TRUE(first.Run(image, settings));
  const ScanRecord* folder = Named(first, u"2024");
  ASSERT_NE(folder, nullptr);
  const uint64_t parent = NtfsRef(folder->reference), seq = uint64_t{1} << 48;
  JournalWriter journal(image);
  journal.Add(kCreate | kClose, seq | 90, parent, 0x20, u"before.txt");
  journal.Add(kCreate | kClose, seq | 91, parent, 0x20, u"_nuskignore");
  journal.Add(kCreate | kClose, seq | 92, parent, 0x20, u"after.txt");
  journal.Save();

  ntfs_test::CollectingListener listener;
  NtfsVolumeConfig config = ImageConfig(image);
  config.marker_exists = [](const std::u16string&) { return false; };  // only the journal tells
  NtfsVolumeScanner scanner(Env::Default(), config, &settings, &listener, nullptr, nullptr);
  ASSERT_TRUE(scanner.OpenVolumeJournal());
  int64_t usn = 0;
  ASSERT_TRUE(scanner.ReadChanges(&usn));
  std::vector<std::u16string> added;
  for (const ScanRecord& r : listener.added) added.push_back(r.name);
  EXPECT_EQ(added, std::vector<std::u16string>{u"before.txt"});
  EXPECT_EQ(listener.ignored, std::vector<std::u16string>{u"N:\\Docs\\Reports\\2024"});
}

// A folder whose parent is itself (a damaged MFT) reaches no root: a file created in it
// is left out, as the full scan leaves it out, and the pass ends at once.
TEST(ChangeJournalStateTest, CreatedItemBelowAParentCycleIsLeftOut) {
  std::string image, why;
  if (!FreshCopy("basic4k", ".cycle.img", &image, &why)) GTEST_SKIP() << why;
  ExclusionSettings settings;
  Scan first;
  ASSERT_TRUE(first.Run(image, settings));
  const ScanRecord* docs = Named(first, u"Docs");
  ASSERT_NE(docs, nullptr);
  const uint64_t self = RefRecord(docs->reference);  // the folder's parent becomes itself
  auto parent_field = [](const uint8_t* r, size_t size) -> size_t {
    const size_t name = ntfs::FindAttribute(r, size, ntfs::kAttrFileName, false);
    return name == 0 ? 0 : name + ntfs::U16(r + name + 20);  // the parent reference
  };
  ASSERT_NO_FATAL_FAILURE(PatchMftRecord(image, RefRecord(docs->reference), parent_field, &self, 6));
  JournalWriter journal(image);
  journal.Add(kCreate | kClose, 100, NtfsRef(docs->reference), 0x20, u"inside.txt");
  journal.Save();
  Scan pass;
  pass.journal_id = first.journal_id;
  pass.next_usn = first.next_usn;
  ASSERT_TRUE(pass.Run(image, settings));
  EXPECT_TRUE(pass.listener.added.empty());
}

// A pass long enough for many journal reads and several windows, its changes spread
// over the MFT: every file's time and size must come back as the full scan found them.
TEST(ChangeJournalStateTest, LongScatteredPassReportsWhatTheFullScanFound) {
  std::string image, why;
  if (!FreshCopy("basic4k", ".long.img", &image, &why)) GTEST_SKIP() << why;
  ExclusionSettings settings;
  Scan first;
  ASSERT_TRUE(first.Run(image, settings));
  std::vector<ScanRecord> files;
  Scan pass;
  for (const auto& [ref, r] : first.listener.index) {
    if (r.is_folder) continue;
    files.push_back(r);
    pass.listener.index[ref] = r;
    pass.listener.index[ref].time = pass.listener.index[ref].size = 0xDEAD;  // the pass must restore both
  }
  JournalWriter journal(image);
  for (uint32_t i = 0; i < 40000; ++i) {  // about 4 MB of journal
    const ScanRecord& f = files[(i * 7919u) % files.size()];
    journal.Add(kExtend | kClose, NtfsRef(f.reference), NtfsRef(f.parent_reference), 0x20, f.name);
  }
  journal.Save();
  pass.journal_id = first.journal_id;
  pass.next_usn = first.next_usn;
  ASSERT_TRUE(pass.Run(image, settings));
  EXPECT_EQ(pass.listener.updates, 40000);
  for (const ScanRecord& f : files) {
    EXPECT_EQ(pass.listener.index[f.reference].size, f.size) << ntfs_test::Narrow(f.name);
    EXPECT_EQ(pass.listener.index[f.reference].time, f.time) << ntfs_test::Narrow(f.name);
  }
}

// Markers are read from the folders' own indexes on the volume, also where an index has
// outgrown its record into blocks of its own (a folder of hundreds of items, the marker
// in a leaf below the index root), and only from the folder asked about.
TEST(ChangeJournalStateTest, MarkersAreFoundInTheVolumesFolderIndexes) {
  std::string image, why;
  if (!ntfs_test::CanMakeImages(&why)) GTEST_SKIP() << why;
  if (!FreshCopy("basic4k", ".index.img", &image, &why)) GTEST_SKIP() << why;
  const std::string mount = image + ".mnt";
  testing::NtfsMount mounted(image, mount);
  ASSERT_TRUE(mounted.mounted());
  for (const char* folder : {"Big", "Big/Marked", "Plain"}) fs::create_directory(mount + "/" + folder);
  for (int i = 0; i < 300; ++i) {
    const std::string n = std::to_string(i);
    fs::create_directory(mount + "/Big/folder " + n);
    std::ofstream(mount + "/Big/Marked/file " + n + ".txt") << n;
    std::ofstream(mount + "/Plain/file " + n + ".txt") << n;
  }
  std::ofstream(mount + "/Big/Marked/_nuskignore");
  std::ofstream(mount + "/Plain/_nuskignore.txt");  // another name
  mounted.Unmount();

  ExclusionSettings settings;
  ntfs_test::CollectingListener listener;
  NtfsVolumeScanner scanner(Env::Default(), ImageConfig(image), &settings, &listener, nullptr, nullptr);
  EXPECT_TRUE(scanner.FolderHoldsMarker(u"N:\\Big\\Marked"));
  EXPECT_TRUE(scanner.FolderHoldsMarker(u"N:\\Private"));
  for (const char16_t* folder : {u"N:\\Plain", u"N:\\Big", u"N:\\Big\\Missing", u"N:\\Docs", u"N:"})
    EXPECT_FALSE(scanner.FolderHoldsMarker(folder)) << ntfs_test::Narrow(folder);
}

TEST(ChangeJournalStateTest, CancelledBeforeThePassReadsNothing) {
  std::string image, why;
  if (!FreshCopy("rec4096", ".cancel.img", &image, &why)) GTEST_SKIP() << why;
  ExclusionSettings settings;
  Scan first;
  ASSERT_TRUE(first.Run(image, settings));
  JournalWriter journal(image);
  journal.Add(kCreate | kClose, 70, 5, 0x20, u"late.txt");
  journal.Save();

  std::atomic<bool> cancel{true};
  ntfs_test::CollectingListener listener;
  std::vector<std::string> log;
  NtfsVolumeConfig config = ImageConfig(image);
  NtfsVolumeScanner scanner(
      Env::Default(), config, &settings, &listener, [&log](const std::string& l) { log.push_back(l); }, &cancel);
  ASSERT_TRUE(scanner.OpenVolumeJournal());
  int64_t usn = 0;
  EXPECT_TRUE(scanner.ReadChanges(&usn));
  EXPECT_EQ(usn, 0);
  EXPECT_TRUE(listener.added.empty());
  EXPECT_EQ(log.back(), "0 change records processed.");

  // A full scan that is cancelled reports failure so the build does not trust it.
  ntfs_test::CollectingListener full;
  NtfsVolumeScanner scanner2(Env::Default(), config, &settings, &full, nullptr, &cancel);
  EXPECT_FALSE(scanner2.ScanMft());
}

}  // namespace
}  // namespace nusk
