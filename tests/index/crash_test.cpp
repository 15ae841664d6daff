// A commit cut off at any step (the process stops dead) leaves files that load as the
// complete old index or the complete new one. The test re-runs this executable as a
// child that commits and calls std::_Exit before its k-th file operation.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/index/index_test_util.h"
#include "tests/testing/test_env.h"

namespace nusk::testing {
namespace {

constexpr char kChildVar[] = "NUSK_INDEX_CRASH_CHILD";

std::vector<ScanRecord> OldTree() {
  return {Rec(C(5), 0, u"C:", true), Rec(C(10), C(5), u"old", true), Rec(C(20), C(10), u"keep.txt", false),
          Rec(C(21), C(10), u"gone.txt", false)};
}

// The new index: gone.txt deleted, two names added that sort before everything, so the
// item indexes of the hidden keep.txt change.
void ToNewTree(NuskDbWriter* w) {
  w->DeleteRecord(Rec(C(21), C(10), u"gone.txt", false));
  w->AddRecord(Rec(C(30), C(5), u"0new", true));
  w->AddRecord(Rec(C(31), C(30), u"0new.txt", false));
}

const std::vector<std::string> kOldPaths = {"C:\\", "C:\\old\\", "C:\\old\\gone.txt", "C:\\old\\keep.txt"};
const std::vector<std::string> kNewPaths = {"C:\\", "C:\\0new\\", "C:\\0new\\0new.txt", "C:\\old\\",
                                            "C:\\old\\keep.txt"};

// Child side: runs before main when the variable is set, then leaves.
[[maybe_unused]] const bool kChild = [] {
  const char* spec = std::getenv(kChildVar);
  if (!spec || !*spec) return false;
  std::string s(spec);
  size_t bar = s.find('|');
  int stop_at = std::atoi(s.substr(0, bar).c_str());
  std::u16string home = FromUtf8(s.substr(bar + 1));
  FaultInjectionEnv env;
  int step = 0;
  env.before_step = [&](const std::u16string&) {
    if (step++ == stop_at) std::_Exit(3);
  };
  NuskDbWriter w;
  if (!LoadIndexForWrite(&w, home, &env).ok()) std::_Exit(4);
  if (w.item_count() == 0)  // a first build: the same new index from nothing
    for (const ScanRecord& r : OldTree()) w.AddRecord(r);
  ToNewTree(&w);
  std::_Exit(CommitIndex(&w).ok() ? 0 : 5);
}();

int RunChild(int stop_at, const std::u16string& home) {
  std::string value = std::to_string(stop_at) + "|" + ToUtf8(home);
#ifdef _WIN32
  _putenv_s(kChildVar, value.c_str());
  std::string command = "\"" + ToUtf8(Env::Default()->ExecutablePath()) + "\"";
#else
  setenv(kChildVar, value.c_str(), 1);
  std::string command = "'" + ToUtf8(Env::Default()->ExecutablePath()) + "'";
#endif
  int rc = std::system(command.c_str());
#ifdef _WIN32
  _putenv_s(kChildVar, "");
#else
  unsetenv(kChildVar);
#endif
  return rc;
}

int snapshots_used = 0;

// Which index the folder holds: 0 old, 1 new; fails the test on anything else. A search
// snapshot left beside the files is used only when it gives what decoding them gives.
int Check(const std::u16string& home, bool had_old) {
  const std::vector<std::string> decoded = DecodedSearchForm(home);
  NuskDb db;
  Status s = LoadNuskDb(&db, home, Env::Default());
  EXPECT_TRUE(s.ok()) << s.message();
  EXPECT_EQ(DumpSearchForm(&db), decoded) << (db.from_snapshot() ? "from the snapshot" : "decoded");
  snapshots_used += db.from_snapshot();
  std::vector<std::string> paths = AllPaths(&db);
  bool is_new = paths == kNewPaths;
  bool is_old = had_old ? paths == kOldPaths : paths.empty();
  EXPECT_TRUE(is_new || is_old) << "a mixed index: " << ::testing::PrintToString(paths);
  for (uint32_t i = 0; i < db.item_count(); ++i)  // the hidden list follows the same version
    EXPECT_EQ(db.GetHideState(i) == HideState::kHidden, had_old && db.ItemName(i) == u"keep.txt")
        << (is_new ? "new" : "old");
  return is_new ? 1 : 0;
}

// The old index with keep.txt hidden.
void WriteOldIndex(const std::u16string& home) {
  ASSERT_TRUE(WriteIndex(home, OldTree()).ok());
  NuskDb db;
  ASSERT_TRUE(LoadNuskDb(&db, home, Env::Default()).ok());
  for (uint32_t i = 0; i < db.item_count(); ++i)
    if (db.ItemName(i) == u"keep.txt") db.SetHideState(i, false);
  ASSERT_TRUE(SaveHiddenList(&db).ok());
  ASSERT_TRUE(LoadNuskDb(&db, home, Env::Default()).ok());  // leaves a snapshot of the old files
}

void CrashAtEveryStep(bool had_old) {
  int outcomes[2] = {0, 0};
  snapshots_used = 0;
  for (int stop_at = 0;; ++stop_at) {
    ASSERT_LT(stop_at, 100) << "the commit never finished";
    TempDir dir;
    if (had_old) WriteOldIndex(dir.path());
    int rc = RunChild(stop_at, dir.path());
    SCOPED_TRACE("stopped before operation " + std::to_string(stop_at) + ", exit " + std::to_string(rc));
    int version = Check(dir.path(), had_old);
    ++outcomes[version];
    // A writer load settles the files on the same version and leaves no companions.
    NuskDbWriter w;
    ASSERT_TRUE(LoadIndexForWrite(&w, dir.path(), Env::Default()).ok());
    EXPECT_TRUE(w.damage().empty()) << w.damage();
    EXPECT_EQ(Check(dir.path(), had_old), version);
    for (const char16_t* c : {u"nusk.frs.tmp", u"nusk.nrs.tmp", u"nusk.hid.tmp", u"nusk.frs.old", u"nusk.nrs.old"})
      EXPECT_FALSE(Env::Default()->FileExists(DbPath(dir.path(), c, Env::Default())));
    if (rc == 0) break;  // the child got through every step
  }
  EXPECT_GT(outcomes[0], 0);
  EXPECT_GT(outcomes[1], 1);  // the cut-offs after the commit point load the new index
  EXPECT_GT(snapshots_used, 0);
}

TEST(CrashSafeCommitTest, StopAtEveryStepOverAnOldIndex) { CrashAtEveryStep(true); }
TEST(CrashSafeCommitTest, StopAtEveryStepOfAFirstBuild) { CrashAtEveryStep(false); }

// The machine goes down (what was not flushed or made durable by a folder sync is lost)
// with the process stopped at any step of the commit: the old index or the new one
// loads, and once CommitIndex has returned success, always the new one.
TEST(CrashSafeCommitTest, MachineCrashKeepsOldOrNewAndTheNewOnceCommitted) {
  for (bool had_old : {true, false}) {
    int outcomes[2] = {0, 0};
    for (int stop_at = 0;; ++stop_at) {
      ASSERT_LT(stop_at, 100) << "the commit never finished";
      SCOPED_TRACE(std::string(had_old ? "over an old index" : "first build") + ", machine down at step " +
                   std::to_string(stop_at));
      TempDir dir;
      if (had_old) WriteOldIndex(dir.path());
      FaultInjectionEnv env;
      int step = 0;
      env.before_step = [&](const std::u16string&) {
        if (step++ == stop_at) env.dead = true;
      };
      NuskDbWriter w;
      ASSERT_TRUE(LoadIndexForWrite(&w, dir.path(), &env).ok());
      if (w.item_count() == 0)
        for (const ScanRecord& r : OldTree()) w.AddRecord(r);
      ToNewTree(&w);
      const bool committed = CommitIndex(&w).ok();
      env.DropUnsyncedData();
      const int version = Check(dir.path(), had_old);
      if (committed) { EXPECT_EQ(version, 1) << "a committed index was lost"; }
      ++outcomes[version];
      if (!env.dead) break;  // every step ran
    }
    EXPECT_GT(outcomes[1], 0);
    if (had_old) { EXPECT_GT(outcomes[0], 0); }
  }
}

}  // namespace
}  // namespace nusk::testing
