// Writer operations and the round trip writer -> files -> both loaders.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "index/db_format.h"
#include "tests/index/index_test_util.h"
#include "tests/testing/test_env.h"

namespace nusk::testing {
namespace {

// C:\Users\Name\{ReadMe.TXT, a.txt, A.txt}, C:\Café\Café (a file), D:\x.txt
std::vector<ScanRecord> SampleTree() {
  return {
      Rec(C(5), 0, u"C:", true),
      Rec(C(10), C(5), u"Users", true, 50),
      Rec(C(11), C(10), u"Name", true),
      Rec(C(20), C(11), u"ReadMe.TXT", false, 100, 1234),
      Rec(C(21), C(11), u"a.txt", false, 101, 5),
      Rec(C(22), C(11), u"A.txt", false, 102, SizeFormFromBytes(3ull << 30)),
      Rec(C(12), C(5), u"Caf\u00e9", true),
      Rec(C(23), C(12), u"Caf\u00e9", false, 103, 7),
      Rec(D(5), 0, u"D:", true),
      Rec(D(30), D(5), u"x.txt", false, 104, 9),
  };
}

const std::vector<std::string> kSamplePaths = {
    "C:\\",
    "C:\\Caf\xC3\xA9\\",
    "C:\\Caf\xC3\xA9\\Caf\xC3\xA9",
    "C:\\Users\\",
    "C:\\Users\\Name\\",
    "C:\\Users\\Name\\A.txt",
    "C:\\Users\\Name\\ReadMe.TXT",
    "C:\\Users\\Name\\a.txt",
    "D:\\",
    "D:\\x.txt",
};

class WriterTest : public ::testing::Test {
 protected:
  TempDir dir;
  const std::u16string& home() { return dir.path(); }
};

TEST_F(WriterTest, RoundTripThroughBothLoaders) {
  ASSERT_TRUE(WriteIndex(home(), SampleTree()).ok());
  NuskDb db;
  ASSERT_TRUE(LoadNuskDb(&db, home(), Env::Default()).ok());
  EXPECT_EQ(db.item_count(), 10u);
  EXPECT_EQ(db.folder_count(), 5u);
  EXPECT_EQ(AllPaths(&db), kSamplePaths);
  for (uint32_t i = 0; i < db.item_count(); ++i) EXPECT_EQ(db.NameKind(db.NameOf(i)), i < 5 ? u'1' : u'2') << i;
  uint32_t big = FindItem(&db, "C:\\Users\\Name\\A.txt");
  ASSERT_NE(big, kNoItem);
  EXPECT_EQ(db.ItemSizeBytes(big), 3ull << 30);
  EXPECT_EQ(db.Time(big), 102u);
  EXPECT_EQ(db.Reference(big), C(22));
  EXPECT_EQ(db.Drive(big), 2);

  // The writer reads back the same items: committing it unchanged gives the same bytes.
  std::string frs = ReadFile(DbPath(home(), kFrsName, Env::Default())),
              nrs = ReadFile(DbPath(home(), kNrsName, Env::Default()));
  NuskDbWriter w;
  ASSERT_TRUE(LoadIndexForWrite(&w, home(), Env::Default()).ok());
  EXPECT_EQ(w.item_count(), 10u);
  EXPECT_TRUE(w.damage().empty());
  ASSERT_TRUE(CommitIndex(&w).ok());
  EXPECT_EQ(ReadFile(DbPath(home(), kFrsName, Env::Default())), frs);
  EXPECT_EQ(ReadFile(DbPath(home(), kNrsName, Env::Default())), nrs);
}

TEST_F(WriterTest, EmptyIndexHasTheFixedSizes) {
  ASSERT_TRUE(WriteIndex(home(), {}).ok());
  EXPECT_EQ(ReadFile(DbPath(home(), kFrsName, Env::Default())).size(), 128u + 3328u + 32768u);
  EXPECT_EQ(ReadFile(DbPath(home(), kNrsName, Env::Default())), std::string(4, '\0'));
  EXPECT_EQ(ReadFormatVersion(home(), Env::Default()), u"4.0.0");
  EXPECT_TRUE(HasCompleteDatabase(home(), Env::Default()));
  NuskDb db;
  ASSERT_TRUE(LoadNuskDb(&db, home(), Env::Default()).ok());
  EXPECT_EQ(db.item_count(), 0u);
}

TEST_F(WriterTest, UpdateRenameAndDeleteFindItemsByNameAndReference) {
  NuskDbWriter w;
  ASSERT_TRUE(LoadIndexForWrite(&w, home(), Env::Default()).ok());
  for (const ScanRecord& r : SampleTree()) ASSERT_TRUE(w.AddRecord(r));
  EXPECT_TRUE(w.UpdateRecord(Rec(C(21), C(11), u"a.txt", false, 999, 77)));
  EXPECT_FALSE(w.UpdateRecord(Rec(C(99), C(11), u"a.txt", false, 1, 1)));  // other reference
  EXPECT_FALSE(w.UpdateRecord(Rec(C(21), C(11), u"b.txt", false, 1, 1)));  // other name
  EXPECT_TRUE(w.RenameRecord(Rec(C(20), C(11), u"Notes.md", false, 5, 6), u"ReadMe.TXT"));
  EXPECT_FALSE(w.RenameRecord(Rec(C(20), C(11), u"Other.md", false), u"ReadMe.TXT"));  // already gone
  EXPECT_FALSE(w.RenameRecord(Rec(C(21), C(11), std::u16string(256, u'x'), false), u"a.txt"));
  EXPECT_FALSE(w.DeleteRecord(Rec(C(21), C(11), u"A.txt", false)));  // a.txt's reference under A.txt
  EXPECT_TRUE(w.DeleteRecord(Rec(D(30), D(5), u"x.txt", false)));
  EXPECT_FALSE(w.DeleteRecord(Rec(D(30), D(5), u"x.txt", false)));
  EXPECT_EQ(w.item_count(), 9u);
  ASSERT_TRUE(CommitIndex(&w).ok());

  NuskDb db;
  ASSERT_TRUE(LoadNuskDb(&db, home(), Env::Default()).ok());
  EXPECT_EQ(db.item_count(), 9u);
  uint32_t a = FindItem(&db, "C:\\Users\\Name\\a.txt");
  ASSERT_NE(a, kNoItem);
  EXPECT_EQ(db.Time(a), 999u);
  EXPECT_EQ(db.SizeForm(a), 77u);
  uint32_t notes = FindItem(&db, "C:\\Users\\Name\\Notes.md");
  ASSERT_NE(notes, kNoItem);
  EXPECT_EQ(db.Reference(notes), C(20));
  EXPECT_EQ(FindItem(&db, "C:\\Users\\Name\\ReadMe.TXT"), kNoItem);
  EXPECT_EQ(FindItem(&db, "D:\\x.txt"), kNoItem);
}

TEST_F(WriterTest, DeletedFolderLeavesHiddenOrphans) {
  NuskDbWriter w;
  ASSERT_TRUE(LoadIndexForWrite(&w, home(), Env::Default()).ok());
  for (const ScanRecord& r : SampleTree()) ASSERT_TRUE(w.AddRecord(r));
  ASSERT_TRUE(w.DeleteRecord(Rec(C(10), C(5), u"Users", true)));
  ASSERT_TRUE(CommitIndex(&w).ok());
  NuskDb db;
  ASSERT_TRUE(LoadNuskDb(&db, home(), Env::Default()).ok());
  ASSERT_EQ(db.item_count(), 9u);
  int hidden = 0;
  for (uint32_t i = 0; i < db.item_count(); ++i) {
    std::string path = ToUtf8(db.BuildPath(i, false));
    bool below_name = path.rfind("Name", 0) == 0;  // "Name" became a top folder
    EXPECT_EQ(db.GetHideState(i) == HideState::kHidden, below_name) << path;
    hidden += below_name;
  }
  EXPECT_EQ(hidden, 4);  // Name and its three files
}

TEST_F(WriterTest, ForgetVolumeTakesMountedVolumesWithTheDrive) {
  std::vector<ScanRecord> recs = SampleTree();
  recs.push_back(Rec(C(5, 1), C(11), u"mounted", true));
  recs.push_back(Rec(C(6, 1), C(5, 1), u"inside.txt", false));
  {
    NuskDbWriter w;
    ASSERT_TRUE(LoadIndexForWrite(&w, home(), Env::Default()).ok());
    for (const ScanRecord& r : recs) ASSERT_TRUE(w.AddRecord(r));
    EXPECT_EQ(w.ForgetVolume(u'C', 1), 2u);
    EXPECT_EQ(w.item_count(), 10u);
    EXPECT_EQ(w.ForgetVolume(u'C', 0), 8u);
    EXPECT_EQ(w.item_count(), 2u);
  }
  NuskDbWriter w;
  ASSERT_TRUE(LoadIndexForWrite(&w, home(), Env::Default()).ok());
  for (const ScanRecord& r : recs) ASSERT_TRUE(w.AddRecord(r));
  EXPECT_EQ(w.ForgetVolume(u'C', 0), 10u);
  ASSERT_TRUE(CommitIndex(&w).ok());
  NuskDb db;
  ASSERT_TRUE(LoadNuskDb(&db, home(), Env::Default()).ok());
  EXPECT_EQ(AllPaths(&db), (std::vector<std::string>{"D:\\", "D:\\x.txt"}));
}

class ClockEnv : public EnvWrapper {
 public:
  ClockEnv() : EnvWrapper(Env::Default()) {}
  uint64_t NowFileTime() override { return now; }
  uint64_t now = 0;
};

TEST_F(WriterTest, OnlyAnAllDrivesBuildSetsTheLastFullBuildTime) {
  ClockEnv env;
  env.now = FileTimeFromCompactTime(5000);
  ASSERT_TRUE(WriteIndex(home(), SampleTree(), &env, /*all_drives=*/true).ok());
  env.now = FileTimeFromCompactTime(9000);
  NuskDbWriter w;
  ASSERT_TRUE(LoadIndexForWrite(&w, home(), &env).ok());
  EXPECT_EQ(w.last_full_build(), 5000u);
  w.DriveScanned(u'C');
  w.drive_state(2).display_name = u"Syst\u00e8me";
  ASSERT_TRUE(CommitIndex(&w, {/*all_drives=*/false}).ok());
  NuskDb db;
  ASSERT_TRUE(LoadNuskDb(&db, home(), &env).ok());
  EXPECT_EQ(db.last_full_build(), 5000u);
  EXPECT_EQ(db.DriveLabel(u'c'), u"Syst\u00e8me");
  NuskDbWriter w2;
  ASSERT_TRUE(LoadIndexForWrite(&w2, home(), &env).ok());
  EXPECT_EQ(w2.drive_state(2).last_build, 9000u);
  EXPECT_TRUE(w2.drive_state(2).built);
  EXPECT_FALSE(w2.drive_state(3).built);
}

TEST_F(WriterTest, HiddenListFollowsItemsToTheirNewIndexes) {
  ASSERT_TRUE(WriteIndex(home(), SampleTree()).ok());
  {
    NuskDb db;
    ASSERT_TRUE(LoadNuskDb(&db, home(), Env::Default()).ok());
    db.SetHideState(FindItem(&db, "C:\\Users\\Name\\a.txt"), false);  // hidden: kept
    db.SetHideState(FindItem(&db, "C:\\Users\\Name\\A.txt"), true);   // removed: dropped
    db.SetHideState(FindItem(&db, "D:\\x.txt"), false);               // hidden, then deleted
    ASSERT_TRUE(SaveHiddenList(&db).ok());
  }
  NuskDbWriter w;
  ASSERT_TRUE(LoadIndexForWrite(&w, home(), Env::Default()).ok());
  // New names that sort first shift every item index.
  ASSERT_TRUE(w.AddRecord(Rec(C(40), C(5), u"0000", true)));
  ASSERT_TRUE(w.AddRecord(Rec(C(41), C(5), u"0000.txt", false)));
  ASSERT_TRUE(w.DeleteRecord(Rec(D(30), D(5), u"x.txt", false)));
  ASSERT_TRUE(CommitIndex(&w).ok());
  std::string hid = ReadFile(DbPath(home(), kHidName, Env::Default()));
  EXPECT_EQ(hid.size(), 4u + 4u + 1u);  // only a.txt is left

  NuskDb db;
  ASSERT_TRUE(LoadNuskDb(&db, home(), Env::Default()).ok());
  for (uint32_t i = 0; i < db.item_count(); ++i) {
    std::string path = ToUtf8(db.BuildPath(i, false));
    EXPECT_EQ(db.GetHideState(i), path == "C:\\Users\\Name\\a.txt" ? HideState::kHidden : HideState::kShown) << path;
  }
}

TEST_F(WriterTest, HiddenListIsDeletedWhenNothingIsKept) {
  ASSERT_TRUE(WriteIndex(home(), SampleTree()).ok());
  {
    NuskDb db;
    ASSERT_TRUE(LoadNuskDb(&db, home(), Env::Default()).ok());
    db.SetHideState(FindItem(&db, "D:\\x.txt"), true);
    ASSERT_TRUE(SaveHiddenList(&db).ok());
  }
  EXPECT_TRUE(Env::Default()->FileExists(DbPath(home(), kHidName, Env::Default())));
  NuskDbWriter w;
  ASSERT_TRUE(LoadIndexForWrite(&w, home(), Env::Default()).ok());
  ASSERT_TRUE(CommitIndex(&w).ok());
  EXPECT_FALSE(Env::Default()->FileExists(DbPath(home(), kHidName, Env::Default())));
}

TEST_F(WriterTest, CommitRunsOnceAndOnlyAfterALoad) {
  NuskDbWriter unloaded;
  EXPECT_FALSE(CommitIndex(&unloaded).ok());
  EXPECT_FALSE(Env::Default()->FileExists(DbPath(home(), kFrsName, Env::Default())));

  NuskDbWriter w;
  ASSERT_TRUE(LoadIndexForWrite(&w, home(), Env::Default()).ok());
  ASSERT_TRUE(w.AddRecord(Rec(C(5), 0, u"C:", true)));
  ASSERT_TRUE(CommitIndex(&w).ok());
  // Once written the index is frozen; a second commit repeats the first result.
  EXPECT_FALSE(w.AddRecord(Rec(C(6), C(5), u"late.txt", false)));
  EXPECT_FALSE(w.DeleteRecord(Rec(C(5), 0, u"C:", true)));
  EXPECT_TRUE(CommitIndex(&w).ok());
  NuskDb db;
  ASSERT_TRUE(LoadNuskDb(&db, home(), Env::Default()).ok());
  EXPECT_EQ(db.item_count(), 1u);
}

TEST_F(WriterTest, CommitFromAnotherThreadFreezesTheIndex) {
  NuskDbWriter w;
  ASSERT_TRUE(LoadIndexForWrite(&w, home(), Env::Default()).ok());
  ASSERT_TRUE(w.AddRecord(Rec(C(5), 0, u"C:", true)));
  std::atomic<bool> go{false};
  std::thread committer([&] {
    while (!go) std::this_thread::yield();
    EXPECT_TRUE(CommitIndex(&w).ok());
  });
  uint32_t added = 1;
  for (uint32_t i = 0; i < 2000000; ++i) {
    if (i == 1000) go = true;
    if (!w.AddRecord(Rec(C(100 + i), C(5), u"f" + FromUtf8(std::to_string(i)), false))) break;
    ++added;
  }
  committer.join();
  NuskDb db;
  ASSERT_TRUE(LoadNuskDb(&db, home(), Env::Default()).ok());
  EXPECT_EQ(db.item_count(), added);  // every accepted record was written, none after
}

TEST_F(WriterTest, FailedWriteIsReportedAndKeepsTheOldIndex) {
  ASSERT_TRUE(WriteIndex(home(), SampleTree()).ok());
  for (int budget : {0, 1}) {
    FaultInjectionEnv env;
    env.fail_writes_after = budget;
    RecordingSink sink;
    NuskDbWriter w;
    ASSERT_TRUE(LoadIndexForWrite(&w, home(), &env, &sink).ok());
    ASSERT_TRUE(w.DeleteRecord(Rec(D(30), D(5), u"x.txt", false)));
    Status s = CommitIndex(&w);
    EXPECT_FALSE(s.ok());
    EXPECT_FALSE(sink.problems.empty());
    NuskDb db;
    ASSERT_TRUE(LoadNuskDb(&db, home(), Env::Default()).ok());
    EXPECT_EQ(AllPaths(&db), kSamplePaths);
    for (const char16_t* name : {u"nusk.frs.tmp", u"nusk.nrs.tmp", u"nusk.frs.old", u"nusk.nrs.old"})
      EXPECT_FALSE(Env::Default()->FileExists(DbPath(home(), name, Env::Default()))) << budget;
  }
}

TEST_F(WriterTest, FailedMoveIsCompletedOrReported) {
  ASSERT_TRUE(WriteIndex(home(), SampleTree()).ok());
  FaultInjectionEnv env;
  env.fail_renames_after = 2;  // both files moved aside, then every move fails
  NuskDbWriter w;
  ASSERT_TRUE(LoadIndexForWrite(&w, home(), &env).ok());
  ASSERT_TRUE(w.DeleteRecord(Rec(D(30), D(5), u"x.txt", false)));
  EXPECT_FALSE(CommitIndex(&w).ok());
  // Readers already see the new index; the next writer load completes the moves.
  std::vector<std::string> expected = kSamplePaths;
  expected.pop_back();
  NuskDb db;
  ASSERT_TRUE(LoadNuskDb(&db, home(), Env::Default()).ok());
  EXPECT_EQ(AllPaths(&db), expected);
  NuskDbWriter w2;
  ASSERT_TRUE(LoadIndexForWrite(&w2, home(), Env::Default()).ok());
  EXPECT_EQ(w2.item_count(), 9u);
  EXPECT_FALSE(Env::Default()->FileExists(DbPath(home(), u"nusk.frs.old", Env::Default())));
  EXPECT_FALSE(Env::Default()->FileExists(DbPath(home(), u"nusk.nrs.tmp", Env::Default())));
}

TEST_F(WriterTest, OlderFileWithoutMountTableLoadsAndIsWrittenWithIt) {
  std::vector<ScanRecord> recs = SampleTree();
  ASSERT_TRUE(WriteIndex(home(), recs).ok());
  std::u16string frs = DbPath(home(), kFrsName, Env::Default());
  std::string bytes = ReadFile(frs);
  WriteFile(frs, bytes.substr(0, bytes.size() - kMountBlocksSize));
  NuskDb db;
  ASSERT_TRUE(LoadNuskDb(&db, home(), Env::Default()).ok());
  EXPECT_EQ(AllPaths(&db), kSamplePaths);
  NuskDbWriter w;
  ASSERT_TRUE(LoadIndexForWrite(&w, home(), Env::Default()).ok());
  EXPECT_TRUE(w.mount_state(1).free());
  ASSERT_TRUE(CommitIndex(&w).ok());
  EXPECT_EQ(ReadFile(frs), bytes);
}

}  // namespace
}  // namespace nusk::testing
