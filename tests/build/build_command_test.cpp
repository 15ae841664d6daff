// The build sub-command in this process: arguments, lock, log, drive selection,
// cancellation and the database it writes.
#include <gtest/gtest.h>

#include "index/db_files.h"
#include "index/nusk_db_writer.h"
#include "platform/env.h"
#include "platform/profile.h"
#include "scan/exclusion.h"
#include "tests/build/build_test_support.h"
#include "util/utf.h"

namespace nusk {
namespace {

using testing::BuildFixture;

#define REQUIRE_FIXTURE_DRIVES() \
  if (!testing::FixtureDrivesSupported()) GTEST_SKIP() << "drive letters are the system's own here"

TEST(BuildArgsTest, RejectsBadArgumentsAndTakesTheLastDrive) {
  BuildOptions o;
  std::string error;
  EXPECT_FALSE(ParseBuildArgs({u"cc"}, &o, &error));
  EXPECT_EQ(error, "Unrecognized arg");
  EXPECT_FALSE(ParseBuildArgs({u"1"}, &o, &error));
  EXPECT_EQ(error, "Invalid drive arg");
  BuildOptions ok;
  ASSERT_TRUE(ParseBuildArgs({u"d", u"--delegate", u"E", u"--remoteDrives"}, &ok, &error));
  EXPECT_EQ(ok.drive, u'E');
  EXPECT_TRUE(ok.delegate);
  EXPECT_TRUE(ok.remote_drives);
  EXPECT_EQ(BuildLockName(u"C:\\x\\.nusk\\"), u"Global\\C:/x/.nusk/|NUSK_BUILD");
}

TEST(BuildCommandTest, BadArgumentsBuildNothing) {
  BuildFixture f;
  f.MapDrive(u'D', u"d");
  EXPECT_EQ(f.RunInProcess({u"dd"}), kExitUsage);
  EXPECT_EQ(f.RunInProcess({u"%"}), kExitUsage);
  EXPECT_FALSE(HasDatabase(f.home().path()));
}

TEST(BuildCommandTest, BuildsMappedDriveAndLogsEachStep) {
  REQUIRE_FIXTURE_DRIVES();
  BuildFixture f;
  f.MapDrive(u'D', u"d");
  f.drives().WriteFile(u"d/docs/a.txt", "abc");
  f.drives().WriteFile(u"d/b.bin", std::string(4096, 'b'));
  ASSERT_EQ(f.RunInProcess({}), 0);
  auto items = f.Items();
  ASSERT_EQ(items.size(), 4u);
  EXPECT_TRUE(items[u"D:"].folder);
  EXPECT_EQ(items[u"D:\\docs\\a.txt"].size, 3u);
  EXPECT_EQ(items[u"D:\\b.bin"].size, 4096u);
  std::string log = f.ReadLog();
  size_t pos = 0;
  for (const char* step : {"Openning database..", "Database opened.", "Building drive D", "(Non-NTFS Mode)",
                           "Deleting all records for drive D", "Performing full scan..", "Recorded 1 folders, 2 files.",
                           "Drive build done (", "Writing database..", "Database written."}) {
    size_t at = log.find(step, pos);
    ASSERT_NE(at, std::string::npos) << step << " missing or out of order in:\n" << log;
    pos = at;
  }
  // The drive is stamped as built and no build is left marked as running.
  NuskDbWriter w;
  ASSERT_TRUE(LoadIndexForWrite(&w, f.home().path()).ok());
  EXPECT_TRUE(w.drive_state(3).built);
  EXPECT_NE(w.drive_state(3).serial, 0u);
  EXPECT_NE(w.drive_state(3).last_build, 0u);
  EXPECT_EQ(w.last_full_build() != 0, true);
}

TEST(BuildCommandTest, HeldLockRefusesAtOnceAndLeavesTheIndexAlone) {
  REQUIRE_FIXTURE_DRIVES();
  BuildFixture f;
  f.MapDrive(u'D', u"d");
  f.drives().WriteFile(u"d/one.txt", "1");
  ASSERT_EQ(f.RunInProcess({}), 0);
  std::string before;
  ASSERT_TRUE(Env::Default()->ReadWholeFile(f.home().path() + u"nusk.frs", &before).ok());
  f.drives().WriteFile(u"d/two.txt", "2");

  auto held = Env::Default()->CreateNamedMutex(BuildLockName(f.home().path()));
  ASSERT_TRUE(held->TryLock());
  EXPECT_EQ(f.RunInProcess({}), kExitLockHeld);
  std::string after;
  ASSERT_TRUE(Env::Default()->ReadWholeFile(f.home().path() + u"nusk.frs", &after).ok());
  EXPECT_EQ(before, after);

  // Another home folder is not affected by this lock.
  BuildFixture other;
  other.MapDrive(u'D', u"d");
  EXPECT_EQ(other.RunInProcess({}), 0);

  held->Unlock();
  EXPECT_EQ(f.RunInProcess({}), 0);
  EXPECT_EQ(f.Items().count(u"D:\\two.txt"), 1u);
}

TEST(BuildCommandTest, VolumeStatesAndRootMarkersChooseTheDrives) {
  REQUIRE_FIXTURE_DRIVES();
  BuildFixture f;
  f.MapDrive(u'D', u"d");
  f.MapDrive(u'E', u"e");
  f.MapDrive(u'F', u"f");
  f.drives().WriteFile(u"d/d.txt", "d");
  f.drives().WriteFile(u"e/e.txt", "e");
  f.drives().WriteFile(u"f/f.txt", "f");
  f.drives().WriteFile(u"f/_nuskignore", "");
  f.SetSetting(u"Options", u"VolumeStates", u"D0E1");
  ASSERT_EQ(f.RunInProcess({}), 0);
  auto items = f.Items();
  EXPECT_EQ(items.count(u"D:"), 0u) << "state 0: never built";
  EXPECT_EQ(items.count(u"E:\\e.txt"), 1u);
  EXPECT_EQ(items.count(u"F:"), 0u) << "a marker in the root keeps the drive out";

  // Naming the drive builds it whatever its state or marker.
  ASSERT_EQ(f.RunInProcess({u"d"}), 0);
  ASSERT_EQ(f.RunInProcess({u"F"}), 0);
  items = f.Items();
  EXPECT_EQ(items.count(u"D:\\d.txt"), 1u);
  EXPECT_EQ(items.count(u"E:\\e.txt"), 1u) << "building one drive keeps the others";
  EXPECT_EQ(items.count(u"F:\\f.txt"), 1u);
}

TEST(BuildCommandTest, IgnoredFoldersAreRecordedAndDroppedWhenTheMarkerGoes) {
  REQUIRE_FIXTURE_DRIVES();
  BuildFixture f;
  f.MapDrive(u'D', u"d");
  f.drives().WriteFile(u"d/skip/_nuskignore", "");
  f.drives().WriteFile(u"d/skip/x.txt", "x");
  ASSERT_EQ(f.RunInProcess({}), 0);
  EXPECT_EQ(f.Items().count(u"D:\\skip"), 0u);
  std::u16string ini = f.home().path() + u"nusk.ini";
  EXPECT_EQ(ReadIgnoredFolders(Profile::Default(), ini), std::vector<std::u16string>{u"D:\\skip"});

  Env::Default()->RemoveFile(f.drives().Sub(u"d/skip/_nuskignore"));
  ASSERT_EQ(f.RunInProcess({}), 0);
  EXPECT_EQ(f.Items().count(u"D:\\skip\\x.txt"), 1u);
  EXPECT_TRUE(ReadIgnoredFolders(Profile::Default(), ini).empty());
}

TEST(BuildCommandTest, CanceledDriveIsEmptiedAndMarkedForFullRebuild) {
  REQUIRE_FIXTURE_DRIVES();
  BuildFixture f;
  f.MapDrive(u'D', u"d");
  f.MapDrive(u'E', u"e");
  f.drives().WriteFile(u"d/sub/a.txt", "a");
  f.drives().WriteFile(u"e/b.txt", "b");
  ASSERT_EQ(f.RunInProcess({}), 0);
  ASSERT_EQ(f.Items().count(u"D:\\sub\\a.txt"), 1u);

  std::atomic<bool> cancel{true};
  EXPECT_EQ(f.RunInProcess({u"D"}, &cancel), kExitCanceled);
  auto items = f.Items();
  EXPECT_EQ(items.count(u"D:"), 0u) << "no half-filled drive";
  EXPECT_EQ(items.count(u"E:\\b.txt"), 1u) << "other drives keep their records";
  NuskDbWriter w;
  ASSERT_TRUE(LoadIndexForWrite(&w, f.home().path()).ok());
  EXPECT_FALSE(w.drive_state(3).built);
  EXPECT_EQ(w.drive_state(3).serial, 0u);
  EXPECT_NE(f.ReadLog().find("canceled"), std::string::npos);

  ASSERT_EQ(f.RunInProcess({u"D"}), 0);
  EXPECT_EQ(f.Items().count(u"D:\\sub\\a.txt"), 1u);
}

TEST(BuildCommandTest, UnreadableDriveFailsButKeepsItsRecordsAndBuildsTheRest) {
  REQUIRE_FIXTURE_DRIVES();
  BuildFixture f;
  f.MapDrive(u'D', u"d");
  f.MapDrive(u'E', u"e");
  f.drives().WriteFile(u"d/keep.txt", "k");
  f.drives().WriteFile(u"e/e.txt", "e");
  ASSERT_EQ(f.RunInProcess({}), 0);
  testing::RemoveTree(Env::Default(), f.drives().Sub(u"d"));
  f.drives().WriteFile(u"e/new.txt", "n");
  EXPECT_EQ(f.RunInProcess({}), 0) << "a missing drive is not present, so not selected";
  EXPECT_EQ(f.RunInProcess({u"D"}), kExitDriveFailed);
  auto items = f.Items();
  EXPECT_EQ(items.count(u"D:\\keep.txt"), 1u);
  EXPECT_EQ(items.count(u"E:\\new.txt"), 1u);
}

TEST(BuildCommandTest, UnwritableDatabaseFailsWithAMessage) {
  REQUIRE_FIXTURE_DRIVES();
  BuildFixture f;
  f.MapDrive(u'D', u"d");
  // A folder where the new name file must go makes the write fail.
  ASSERT_TRUE(Env::Default()->CreateFolder(f.home().path() + u"nusk.nrs.tmp").ok());
  ASSERT_TRUE(Env::Default()->CreateFolder(f.home().path() + u"nusk.frs.tmp").ok());
  EXPECT_EQ(f.RunInProcess({}), kExitDatabase);
  EXPECT_NE(f.ReadLog().find("Failed to write the database"), std::string::npos) << f.ReadLog();
}

}  // namespace
}  // namespace nusk
