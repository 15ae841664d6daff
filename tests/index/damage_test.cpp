// Damaged database files: every loader names the file and the fault, loads nothing
// partial, never reads out of range, and the build keeps the damaged files aside.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>

#include "index/db_format.h"
#include "tests/index/index_test_util.h"
#include "tests/testing/test_env.h"

namespace nusk::testing {
namespace {

using dbformat::Set32;

// Items in file order: 0 C:, 1 Café, 2 D:, 3 Name, 4 Users, then the files.
std::vector<ScanRecord> Tree() {
  return {Rec(C(5), 0, u"C:", true),
          Rec(C(10), C(5), u"Users", true),
          Rec(C(11), C(10), u"Name", true),
          Rec(C(20), C(11), u"ReadMe.TXT", false, 100, 1234),
          Rec(C(21), C(11), u"a.txt", false),
          Rec(C(12), C(5), u"Caf\u00e9", true),
          Rec(C(23), C(12), u"Caf\u00e9", false),
          Rec(D(5), 0, u"D:", true),
          Rec(D(30), D(5), u"x.txt", false)};
}

struct Damage {
  const char* what;
  const char16_t* file;
  std::function<void(std::string*)> apply;
  const char* expect;  // part of the message
};

size_t NameText0(const std::string& nrs) { return 4 + 11 * size_t{dbformat::Get32(nrs.data())}; }

std::vector<Damage> Damages() {
  auto frs_row = [](std::string* b, int i) { return b->data() + kRowsOffset + 20 * i; };
  return {
      {"frs shorter than its header", kFrsName, [](std::string* b) { b->resize(10); }, "fewer than"},
      {"frs rows cut", kFrsName, [](std::string* b) { b->resize(kRowsOffset + 20 * 3); },
       "items and 0 label characters make"},
      {"frs count too large", kFrsName, [](std::string* b) { Set32(b->data() + 4, 0x10000000); }, "268435456 items"},
      {"frs parent beyond N", kFrsName, [&](std::string* b) { Set32(frs_row(b, 6) + 8, 1000); }, "parent index"},
      {"frs parent is a file", kFrsName, [&](std::string* b) { Set32(frs_row(b, 1) + 8, 7); }, "not a folder"},
      {"frs folder loop", kFrsName, [&](std::string* b) { Set32(frs_row(b, 0) + 8, 3); }, "loops"},
      {"frs self parent", kFrsName, [&](std::string* b) { Set32(frs_row(b, 4) + 8, 4); }, "loops"},
      {"frs file its own parent", kFrsName, [&](std::string* b) { Set32(frs_row(b, 6) + 8, 6); }, "not a folder"},
      {"frs label too long", kFrsName, [](std::string* b) { Set32(b->data() + 128 + 28, 0x7FFFFFFF); },
       "2147483647 label characters"},
      {"frs mount table cut", kFrsName, [](std::string* b) { b->resize(b->size() - 100); }, "with the mount table"},
      {"frs trailing bytes", kFrsName, [](std::string* b) { b->append("xyz"); }, "with the mount table"},
      {"nrs count too large", kNrsName, [](std::string* b) { Set32(b->data(), 0x20000000); }, "536870912 names need"},
      {"nrs too short", kNrsName, [](std::string* b) { b->resize(2); }, "too few"},
      {"nrs first not 0", kNrsName, [](std::string* b) { Set32(b->data() + 4 + 4, 1); }, "instead of 0"},
      {"nrs first beyond N", kNrsName, [](std::string* b) { Set32(b->data() + 4 + 11 + 4, 500); }, "beyond"},
      {"nrs first decreasing", kNrsName, [](std::string* b) { Set32(b->data() + 4 + 33 + 4, 1); },
       "before the previous"},
      {"nrs bad wide flag", kNrsName, [](std::string* b) { (*b)[4 + 8] = 7; }, "wide flag"},
      {"nrs case position", kNrsName, [](std::string* b) { (*b)[NameText0(*b) + 4] = 9; }, "case position"},
      {"nrs missing case mark", kNrsName, [](std::string* b) { (*b)[NameText0(*b) + 3] = 'x'; }, "mark"},
      {"nrs kind", kNrsName, [](std::string* b) { (*b)[NameText0(*b)] = '7'; }, "kind character"},
      {"nrs order", kNrsName, [](std::string* b) { (*b)[NameText0(*b) + 1] = 'z'; }, "out of order"},
      {"nrs length past end", kNrsName, [](std::string* b) { (*b)[4 + 11 * 8 + 9] = char(200); }, "past the end"},
      {"nrs cut", kNrsName, [](std::string* b) { b->pop_back(); }, "past the end"},
      {"nrs trailing", kNrsName, [](std::string* b) { b->push_back('!'); }, "unexpected"},
      {"nrs missing", kNrsName, [](std::string* b) { b->clear(); }, "nusk.nrs is missing, but"},
      // Names without items: the file records are what is lost, and the message says so.
      {"frs missing", kFrsName, [](std::string* b) { b->clear(); }, "nusk.frs is missing, but"},
      {"frs emptied", kFrsName, [](std::string* b) { b->assign(1, '\0'); }, "fewer than its fixed header"},
  };
}

class DamageTest : public ::testing::TestWithParam<int> {
 protected:
  TempDir dir;
  const std::u16string& home() { return dir.path(); }
};

TEST_P(DamageTest, SearchFormRefusesAndBuildKeepsTheFilesAside) {
  const Damage d = Damages()[GetParam()];
  SCOPED_TRACE(d.what);
  ASSERT_TRUE(WriteIndex(home(), Tree()).ok());
  std::u16string path = DbPath(home(), d.file, Env::Default());
  std::string bytes = ReadFile(path);
  d.apply(&bytes);
  if (bytes.empty()) Env::Default()->RemoveFile(path);
  else WriteFile(path, bytes);
  std::string other = ReadFile(DbPath(home(), d.file == kFrsName ? kNrsName : kFrsName, Env::Default()));

  RecordingSink sink;
  NuskDb db;
  Status s = LoadNuskDb(&db, home(), Env::Default(), &sink);
  ASSERT_FALSE(s.ok());
  EXPECT_NE(s.message().find(ToUtf8(d.file)), std::string::npos) << s.message();
  EXPECT_NE(s.message().find(d.expect), std::string::npos) << s.message();
  EXPECT_FALSE(db.loaded());
  EXPECT_EQ(db.item_count(), 0u);
  EXPECT_EQ(sink.problems.size(), 1u);

  NuskDbWriter w;
  ASSERT_TRUE(LoadIndexForWrite(&w, home(), Env::Default(), &sink).ok());
  EXPECT_NE(w.damage().find(d.expect), std::string::npos) << w.damage();
  EXPECT_EQ(w.item_count(), 0u);
  // Both files are kept, byte for byte, beside the fresh index.
  if (!bytes.empty()) { EXPECT_EQ(ReadFile(path + u".bad"), bytes); }
  EXPECT_EQ(ReadFile(DbPath(home(), d.file == kFrsName ? u"nusk.nrs.bad" : u"nusk.frs.bad", Env::Default())), other);
  ASSERT_TRUE(w.AddRecord(Rec(C(5), 0, u"C:", true)));
  ASSERT_TRUE(CommitIndex(&w).ok());
  ASSERT_TRUE(LoadNuskDb(&db, home(), Env::Default()).ok());
  EXPECT_EQ(db.item_count(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Cases, DamageTest, ::testing::Range(0, static_cast<int>(Damages().size())));

// A header is checked against its file's size before the body is mapped or read: a 4 GB
// file whose header describes a few kilobytes is refused by that check alone (its message
// gives the size), not after reading all of it.
TEST(OversizedFileTest, RefusedFromItsHeaderAlone) {
  TempDir dir;
  ASSERT_TRUE(WriteIndex(dir.path(), Tree()).ok());
  const std::u16string frs = DbPath(dir.path(), kFrsName, Env::Default());
  std::error_code ec;
  std::filesystem::resize_file(std::filesystem::path(ToUtf8(frs)), 4ull << 30, ec);  // sparse where it can be
  ASSERT_FALSE(ec) << ec.message();
  NuskDb db;
  const Status s = LoadNuskDb(&db, dir.path(), Env::Default());
  ASSERT_FALSE(s.ok());
  EXPECT_NE(s.message().find(ToUtf8(frs) + " is damaged: the file has 4294967296 bytes, but its header's 9 items"),
            std::string::npos)
      << s.message();
  NuskDbWriter w;
  ASSERT_TRUE(LoadIndexForWrite(&w, dir.path(), Env::Default()).ok());
  EXPECT_NE(w.damage().find("4294967296 bytes"), std::string::npos) << w.damage();
  EXPECT_TRUE(Env::Default()->FileExists(frs + u".bad"));
}

// Names without file records: the file records are what is wrong, whether missing or empty.
TEST(OneFileWithoutTheOtherTest, MessageNamesTheFileThatIsWrong) {
  TempDir dir;
  ASSERT_TRUE(WriteIndex(dir.path(), Tree()).ok());
  const std::u16string frs = DbPath(dir.path(), kFrsName, Env::Default()),
                       nrs = DbPath(dir.path(), kNrsName, Env::Default());
  const std::string names = ReadFile(nrs);
  const std::string m = std::to_string(dbformat::Get32(names.data()));
  WriteFile(frs, "");
  NuskDb db;
  Status s = LoadNuskDb(&db, dir.path(), Env::Default());
  EXPECT_EQ(s.message(), ToUtf8(frs) + " is empty, but " + ToUtf8(nrs) + " holds " + m + " names.");
  WriteFile(nrs, "");
  WriteFile(frs, ReadFile(frs));  // still empty: both empty is an empty index
  EXPECT_TRUE(LoadNuskDb(&db, dir.path(), Env::Default()).ok());
  Env::Default()->RemoveFile(frs);
  WriteFile(nrs, names);
  s = LoadNuskDb(&db, dir.path(), Env::Default());
  EXPECT_EQ(s.message(), ToUtf8(frs) + " is missing, but " + ToUtf8(nrs) + " holds " + m + " names.");
}

TEST(DamagedHiddenListTest, SearchRefusesAndCommitSetsItAside) {
  for (std::string hid : {std::string("\xFF\xFF\x00\x00", 4) + "abcd",
                          std::string("\x01\x00\x00\x00\x02\x00\x00\x00\xFF\xFF", 10), std::string("\x01\x00", 2)}) {
    TempDir dir;
    ASSERT_TRUE(WriteIndex(dir.path(), Tree()).ok());
    std::u16string path = DbPath(dir.path(), kHidName, Env::Default());
    WriteFile(path, hid);
    NuskDb db;
    Status s = LoadNuskDb(&db, dir.path(), Env::Default());
    ASSERT_FALSE(s.ok());
    EXPECT_NE(s.message().find("nusk.hid"), std::string::npos);
    NuskDbWriter w;
    ASSERT_TRUE(LoadIndexForWrite(&w, dir.path(), Env::Default()).ok());
    ASSERT_TRUE(CommitIndex(&w).ok());
    EXPECT_EQ(ReadFile(path + u".bad"), hid);
    EXPECT_FALSE(Env::Default()->FileExists(path));
    EXPECT_TRUE(LoadNuskDb(&db, dir.path(), Env::Default()).ok());
  }
}

TEST(DamagedHiddenListTest, ShortStateTailCountsAsRemovedAndFarIndexesAreIgnored) {
  TempDir dir;
  ASSERT_TRUE(WriteIndex(dir.path(), Tree()).ok());
  // K = 3: items 5, 900 (beyond N) and 6; states only for the first: 255.
  std::string hid("\x03\0\0\0\x05\0\0\0\x84\x03\0\0\x06\0\0\0\xFF", 17);
  WriteFile(DbPath(dir.path(), kHidName, Env::Default()), hid);
  NuskDb db;
  ASSERT_TRUE(LoadNuskDb(&db, dir.path(), Env::Default()).ok());
  EXPECT_EQ(db.GetHideState(5), HideState::kHidden);
  EXPECT_EQ(db.GetHideState(6), HideState::kRemoved);
  EXPECT_EQ(db.GetHideState(7), HideState::kShown);
}

// Random corruption of each file: no loader may crash or read out of range (run under
// the sanitizers), and a search form that loads must be walkable.
TEST(RandomDamageTest, LoadersSurviveRandomCorruption) {
  TempDir dir;
  ASSERT_TRUE(WriteIndex(dir.path(), Tree()).ok());
  NuskDb good;
  ASSERT_TRUE(LoadNuskDb(&good, dir.path(), Env::Default()).ok());
  good.SetHideState(2, false);
  ASSERT_TRUE(SaveHiddenList(&good).ok());
  const std::u16string names[] = {kFrsName, kNrsName, kHidName};
  std::string original[3];
  for (int f = 0; f < 3; ++f) original[f] = ReadFile(DbPath(dir.path(), names[f], Env::Default()));
  std::mt19937 rng(12345);
  int loaded = 0;
  for (int iter = 0; iter < 600; ++iter) {
    std::string bytes[3] = {original[0], original[1], original[2]};
    int f = iter % 3;
    std::string& b = bytes[f];
    int changes = 1 + rng() % 4;
    for (int c = 0; c < changes && !b.empty(); ++c) {
      switch (rng() % 3) {
        case 0: b[rng() % b.size()] = static_cast<char>(rng()); break;
        case 1: b.resize(rng() % b.size()); break;
        default: b[rng() % b.size()] ^= static_cast<char>(1u << (rng() % 8)); break;
      }
    }
    for (int g = 0; g < 3; ++g) WriteFile(DbPath(dir.path(), names[g], Env::Default()), bytes[g]);
    NuskDb db;
    if (LoadNuskDb(&db, dir.path(), Env::Default()).ok()) {
      ++loaded;
      for (uint32_t i = 0; i < db.item_count(); ++i) {
        // At most every name once with its separator: a walk that ends.
        EXPECT_LE(db.BuildPath(i, true).size(), 257u * db.item_count());
        db.RootOf(i);
        db.ItemName(i);
        db.AncestorChain(i);
      }
      db.ComputeFolderSizes();
      db.ComputeFolderFileCounts();
      db.DriveListText();
      db.FindFolderByPath(u"C:\\Users\\Name");
    }
    NuskDbWriter w;
    ASSERT_TRUE(LoadIndexForWrite(&w, dir.path(), Env::Default()).ok());
  }
  EXPECT_GT(loaded, 0);  // some changes (times, sizes) leave a sound index
}

}  // namespace
}  // namespace nusk::testing
