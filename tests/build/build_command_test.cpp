// The build sub-command in this process: arguments, drive selection, ignored folders,
// cancellation and failures.
#include <gtest/gtest.h>

#include "index/db_files.h"
#include "platform/env.h"
#include "platform/profile.h"
#include "scan/exclusion.h"
#include "tests/build/build_test_support.h"

namespace nusk {
namespace {

using testing::BuildFixture;

TEST(BuildCommandTest, BadArgumentsBuildNothingAndTheLastDriveCounts) {
  BuildFixture f;
  f.MapDrive(u'D', u"d");
  for (const auto& [arg, message] : std::vector<std::pair<std::u16string, std::string>>{{u"cc", "Unrecognized arg"},
                                                                                        {u"dd", "Unrecognized arg"},
                                                                                        {u"1", "Invalid drive arg"},
                                                                                        {u"%", "Invalid drive arg"}}) {
    BuildOptions o;
    std::string error;
    EXPECT_FALSE(ParseBuildArgs({arg}, &o, &error));
    EXPECT_EQ(error, message);
    EXPECT_EQ(f.RunInProcess({arg}), kExitUsage);
  }
  EXPECT_FALSE(HasDatabase(f.home().path(), Env::Default()));
  BuildOptions ok;
  std::string error;
  ASSERT_TRUE(ParseBuildArgs({u"d", u"--delegate", u"E", u"--remoteDrives"}, &ok, &error));
  EXPECT_EQ(ok.drive, u'E');
  EXPECT_TRUE(ok.delegate);
  EXPECT_TRUE(ok.remote_drives);
}

// Volume states and root markers choose the drives; naming a drive builds it whatever
// its state or marker. A marker below the root leaves its folder out and in the list of
// ignored folders until the marker goes.
TEST(BuildCommandTest, VolumeStatesAndMarkersChooseWhatIsBuilt) {
  REQUIRE_FIXTURE_DRIVES();
  BuildFixture f;
  for (char16_t letter : std::u16string_view(u"DEF")) {
    std::u16string name(1, static_cast<char16_t>(letter + 32));
    f.MapDrive(letter, name);
    f.drives().WriteFile(name + u"/" + name + u".txt", "x");
  }
  f.drives().WriteFile(u"f/_nuskignore", "");
  f.drives().WriteFile(u"e/skip/_nuskignore", "");
  f.drives().WriteFile(u"e/skip/x.txt", "x");
  f.SetSetting(u"Options", u"VolumeStates", u"D0E1");
  ASSERT_EQ(f.RunInProcess({}), 0);
  auto items = f.Items();
  EXPECT_EQ(items.count(u"D:"), 0u) << "state 0: never built";
  EXPECT_EQ(items.count(u"E:\\e.txt"), 1u);
  EXPECT_EQ(items.count(u"E:\\skip"), 0u);
  EXPECT_EQ(items.count(u"F:"), 0u) << "a marker in the root keeps the drive out";
  EXPECT_EQ(ReadIgnoredFolders(Profile::Default(), f.SettingsPath()), std::vector<std::u16string>{u"E:\\skip"});

  ASSERT_EQ(f.RunInProcess({u"d"}), 0);
  ASSERT_EQ(f.RunInProcess({u"F"}), 0);
  items = f.Items();
  EXPECT_EQ(items.count(u"D:\\d.txt"), 1u);
  EXPECT_EQ(items.count(u"E:\\e.txt"), 1u) << "building one drive keeps the others";
  EXPECT_EQ(items.count(u"F:\\f.txt"), 1u);

  Env::Default()->RemoveFile(f.drives().Sub(u"e/skip/_nuskignore"));
  ASSERT_EQ(f.RunInProcess({u"E"}), 0);
  EXPECT_EQ(f.Items().count(u"E:\\skip\\x.txt"), 1u);
  EXPECT_TRUE(ReadIgnoredFolders(Profile::Default(), f.SettingsPath()).empty());
}

// A canceled drive keeps the records and state the previous build left (a walk has
// already forgotten them when it is stopped); a drive that cannot be read fails but keeps
// its records. Either way the other drives keep theirs.
TEST(BuildCommandTest, CanceledOrUnreadableDriveKeepsItsPreviousRecordsAndTheOthers) {
  REQUIRE_FIXTURE_DRIVES();
  BuildFixture f;
  f.MapDrive(u'D', u"d");
  f.MapDrive(u'E', u"e");
  f.drives().WriteFile(u"d/sub/a.txt", "a");
  f.drives().WriteFile(u"e/b.txt", "b");
  ASSERT_EQ(f.RunInProcess({}), 0);
  const auto before = f.Items();
  ASSERT_EQ(before.count(u"D:\\sub\\a.txt"), 1u);
  auto w = f.Writer();
  ASSERT_TRUE(w);
  const DriveState d_before = w->drive_state(3);
  w.reset();

  f.drives().WriteFile(u"d/sub/new.txt", "n");
  for (auto options : {std::vector<std::u16string>{u"D"}, std::vector<std::u16string>{}}) {
    std::atomic<bool> cancel{true};
    EXPECT_EQ(f.RunInProcess(options, &cancel), kExitCanceled);
    EXPECT_EQ(f.Items(), before);
    w = f.Writer();
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->drive_state(3).built);
    EXPECT_EQ(w->drive_state(3).serial, d_before.serial);
    EXPECT_EQ(w->drive_state(3).last_build, d_before.last_build);
    w.reset();
    if (!options.empty()) {  // the drive's walk had begun
      EXPECT_NE(f.ReadLog().find("canceled: its previous records were kept."), std::string::npos) << f.ReadLog();
    }
  }
  ASSERT_EQ(f.RunInProcess({u"D"}), 0);
  EXPECT_EQ(f.Items().count(u"D:\\sub\\new.txt"), 1u);

  testing::RemoveTree(Env::Default(), f.drives().Sub(u"d"));
  f.drives().WriteFile(u"e/new.txt", "n");
  EXPECT_EQ(f.RunInProcess({}), 0) << "a missing drive is not present, so not selected";
  EXPECT_EQ(f.RunInProcess({u"D"}), kExitDriveFailed);
  auto items = f.Items();
  EXPECT_EQ(items.count(u"D:\\sub\\a.txt"), 1u);
  EXPECT_EQ(items.count(u"E:\\new.txt"), 1u);
}

TEST(BuildCommandTest, ABuildLogThatCannotBeWrittenIsSaidAndTheDatabaseIsStillWritten) {
  REQUIRE_FIXTURE_DRIVES();
  for (bool at_open : {true, false}) {
    BuildFixture f;
    f.MapDrive(u'D', u"d");
    f.drives().WriteFile(u"d/a.txt", "a");
    testing::FaultInjectionEnv env;
    (at_open ? env.fail_append_open : env.fail_append_writes) = true;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(f.RunInProcess({}, nullptr, &env), 0) << at_open;
    const std::string said = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(said.find(at_open ? "Cannot write the build log: cannot create" : "could not be written ("),
              std::string::npos)
        << said;
    EXPECT_EQ(f.Items().count(u"D:\\a.txt"), 1u) << at_open;
  }
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
