// Byte-exact files: the writer produces the checked-in golden files (made from the
// layout by tests/data/index/make_golden.py), and both loaders read them. The same test
// runs in the Windows build, so both builds write and read identical bytes.
#include <gtest/gtest.h>

#include "tests/index/index_test_util.h"
#include "tests/testing/test_env.h"
#include "util/utf.h"

namespace nusk::testing {
namespace {

class FixedClockEnv : public EnvWrapper {
 public:
  FixedClockEnv() : EnvWrapper(Env::Default()) {}
  uint64_t NowFileTime() override { return FileTimeFromCompactTime(123456); }
};

std::string Golden(const char* name) {
  std::string b;
  Status s = Env::Default()->ReadWholeFile(FromUtf8(std::string(NUSK_TEST_DATA) + "/index/" + name), &b);
  EXPECT_TRUE(s.ok()) << s.message();
  return b;
}

TEST(GoldenFilesTest, WriterProducesTheGoldenBytes) {
  TempDir dir;
  FixedClockEnv env;
  {
    NuskDbWriter w;
    ASSERT_TRUE(LoadIndexForWrite(&w, dir.path(), &env).ok());
    uint64_t c_root = MakeRef(5, 2, 0, 1);
    ASSERT_TRUE(w.AddRecord(Rec(c_root, 0, u"C:", true, 10)));
    ASSERT_TRUE(w.AddRecord(Rec(C(10), c_root, u"Users", true, 1000)));
    ASSERT_TRUE(w.AddRecord(Rec(C(20), C(10), u"ReadMe.TXT", false, 2000, 1234)));
    ASSERT_TRUE(w.AddRecord(Rec(C(21), c_root, u"Caf\u00e9", false, 3000, SizeFormFromBytes(3ull << 30))));
    ASSERT_TRUE(w.AddRecord(Rec(D(5), 0, u"D:", true, 20)));
    DriveState& d = w.drive_state(3);
    d.journal_id = 0x0102030405060708ull;
    d.journal_next = 99;
    d.serial = 0xABCDEF01;
    d.last_build = 777;
    d.built = true;
    d.display_name = u"Data";
    MountState& m = w.mount_state(1);
    m.journal_id = 5;
    m.journal_next = 6;
    m.volume_guid = "vol-guid";
    m.mount_folder_ref = C(10);
    ASSERT_TRUE(CommitIndex(&w, {/*all_drives=*/true}).ok());
  }
  EXPECT_EQ(ReadFile(DbPath(dir.path(), kFrsName, Env::Default())), Golden("golden.frs"));
  EXPECT_EQ(ReadFile(DbPath(dir.path(), kNrsName, Env::Default())), Golden("golden.nrs"));
  NuskDb db;
  ASSERT_TRUE(LoadNuskDb(&db, dir.path(), &env).ok());
  for (uint32_t i = 0; i < db.item_count(); ++i)
    if (db.ItemName(i) == u"ReadMe.TXT") db.SetHideState(i, false);
  ASSERT_TRUE(SaveHiddenList(&db).ok());
  EXPECT_EQ(ReadFile(DbPath(dir.path(), kHidName, Env::Default())), Golden("golden.hid"));
}

TEST(GoldenFilesTest, BothLoadersReadTheGoldenFiles) {
  TempDir dir;
  WriteFile(DbPath(dir.path(), kFrsName, Env::Default()), Golden("golden.frs"));
  WriteFile(DbPath(dir.path(), kNrsName, Env::Default()), Golden("golden.nrs"));
  WriteFile(DbPath(dir.path(), kHidName, Env::Default()), Golden("golden.hid"));
  EXPECT_EQ(ReadFormatVersion(dir.path(), Env::Default()), u"4.0.0");
  NuskDb db;
  ASSERT_TRUE(LoadNuskDb(&db, dir.path(), Env::Default()).ok());
  EXPECT_EQ(AllPaths(&db),
            (std::vector<std::string>{"C:\\", "C:\\Caf\xC3\xA9", "C:\\Users\\", "C:\\Users\\ReadMe.TXT", "D:\\"}));
  EXPECT_EQ(db.last_full_build(), 123456u);
  EXPECT_EQ(db.DriveLabel(u'd'), u"Data");
  EXPECT_EQ(db.DriveLabel(u'E'), u"");
  for (uint32_t i = 0; i < db.item_count(); ++i)
    EXPECT_EQ(db.GetHideState(i) == HideState::kHidden, db.ItemName(i) == u"ReadMe.TXT");
  NuskDbWriter w;
  ASSERT_TRUE(LoadIndexForWrite(&w, dir.path(), Env::Default()).ok());
  EXPECT_EQ(w.item_count(), 5u);
  const DriveState& d = w.drive_state(3);
  EXPECT_EQ(d.journal_id, 0x0102030405060708ull);
  EXPECT_EQ(d.journal_next, 99u);
  EXPECT_EQ(d.serial, 0xABCDEF01u);
  EXPECT_EQ(d.last_build, 777u);
  EXPECT_TRUE(d.built);
  EXPECT_FALSE(w.drive_state(2).built);
  const MountState& m = w.mount_state(1);
  EXPECT_EQ(m.journal_id, 5u);
  EXPECT_EQ(m.journal_next, 6u);
  EXPECT_EQ(m.volume_guid, "vol-guid");
  EXPECT_EQ(m.mount_folder_ref, C(10));
  EXPECT_TRUE(w.mount_state(2).free());
  EXPECT_EQ(w.last_full_build(), 123456u);
}

}  // namespace
}  // namespace nusk::testing
