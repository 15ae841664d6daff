// What the window does after its first result, the sleeping-drive rule, and the thumbnail
// picture rules.
#include <gtest/gtest.h>

#include <string>

#include "platform/thumbnail.h"
#include "ui/first_result.h"
#include "ui/sleeping_drives.h"

namespace nusk {
namespace {

TEST(UiFirstResult, EmptyDatabaseQuestionBuildsAndTip) {
  struct Case {
    const char* name;
    FirstResultState state;
    bool pending, unasked, ask, version, tip_without_build;
  };
  auto st = [](bool pending, bool empty, bool running, bool rebuild, std::u16string version, int64_t tip) {
    FirstResultState s;
    s.pending_build = pending;
    s.database_empty = empty;
    s.build_running = running;
    s.rebuild_required = rebuild;
    s.last_run_version = std::move(version);
    s.show_tip_on_startup = tip;
    return s;
  };
  const Case cases[] = {
      {"loaded database, same version", st(false, false, false, false, kProgramVersion, 1), false, false, false, false,
       true},
      {"empty: the question", st(false, true, false, false, kProgramVersion, 1), false, false, true, false, true},
      {"empty while a build runs: no question", st(false, true, true, false, kProgramVersion, 1), false, false, false,
       false, true},
      {"empty after a required rebuild: build unasked", st(false, true, false, true, kProgramVersion, 1), false, true,
       false, false, false},
      {"pending build: started, no question, no tip", st(true, true, false, false, kProgramVersion, 1), true, false,
       false, false, false},
      {"first run of this version", st(false, false, false, false, u"", 0), false, false, false, true, false},
      {"older version ran", st(false, false, false, false, u"4.3.9", 2), false, false, false, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const FirstResultSteps s = DecideFirstResultSteps(c.state);
    EXPECT_EQ(s.start_pending_build, c.pending);
    EXPECT_EQ(s.build_without_asking, c.unasked);
    EXPECT_EQ(s.ask_build_empty, c.ask);
    EXPECT_EQ(s.write_last_run_version, c.version);
    EXPECT_EQ(ShowTipAfter(s, false), c.tip_without_build);
    EXPECT_FALSE(ShowTipAfter(s, true));  // a build started (the answer Yes): never the tip
  }
}

TEST(UiSleepingDrives, OnlyDrivesThatSleepAreLeftAlone) {
  std::u16string asked;
  auto spinning = [&](char16_t letter) {
    asked += letter;
    return letter != u'D';  // D: is spun down
  };
  EXPECT_TRUE(MayTouchItem(u"D:\\a.txt", false, spinning));  // option off: never asked
  EXPECT_EQ(asked, u"");
  EXPECT_FALSE(MayTouchItem(u"D:\\a.txt", true, spinning));
  EXPECT_FALSE(MayTouchItem(u"d:\\a.txt", true, spinning));  // lower-case letter: the same drive
  EXPECT_TRUE(MayTouchItem(u"C:\\a.txt", true, spinning));
  EXPECT_TRUE(MayTouchItem(u"\\\\server\\share\\a.txt", true, spinning));  // no local disk to wake
  EXPECT_EQ(asked, u"DDC");
  EXPECT_EQ(DriveLetterOfPath(u"1:\\x"), 0);
  EXPECT_EQ(DriveLetterOfPath(u"C"), 0);
}

TEST(UiThumbnailRules, FitKeepsProportionsAndNeverEnlarges) {
  struct Case {
    int w, h, size, fw, fh;
  } cases[] = {
      {640, 480, 96, 96, 72},     {480, 640, 96, 72, 96}, {40, 30, 96, 40, 30},  // small pictures stay small
      {1000, 1, 48, 48, 1},       {3, 2, 2, 2, 1},        {0, 0, 48, 1, 1},     {100, 100, 48, 48, 48},
      {1001, 500, 256, 256, 128},
  };
  for (const Case& c : cases) {
    int fw = 0, fh = 0;
    FitInSquare(c.w, c.h, c.size, &fw, &fh);
    EXPECT_EQ(fw, c.fw) << c.w << "x" << c.h << " in " << c.size;
    EXPECT_EQ(fh, c.fh) << c.w << "x" << c.h << " in " << c.size;
  }
  EXPECT_TRUE(IsDecodableImageName(u"photo.JPG"));
  EXPECT_TRUE(IsDecodableImageName(u"a.b.tiff"));
  EXPECT_TRUE(IsDecodableImageName(u"icon.ico"));
  EXPECT_FALSE(IsDecodableImageName(u"png"));
  EXPECT_FALSE(IsDecodableImageName(u"movie.mp4"));
  EXPECT_FALSE(IsDecodableImageName(u"archive.png.zip"));
}

}  // namespace
}  // namespace nusk
