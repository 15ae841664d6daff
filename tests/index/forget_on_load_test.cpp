// A drive left out of the load must give exactly the index that loading it and then
// forgetting it gives: same files, same carried-over hidden list, and a rebuild of the
// drive on top behaves the same.
#include <gtest/gtest.h>

#include "index/db_format.h"
#include "tests/index/index_test_util.h"
#include "tests/testing/test_env.h"

namespace nusk {
namespace {

using testing::C;
using testing::D;
using testing::Rec;

TEST(ForgetOnLoadTest, SameFilesAsForgettingTheDriveAfterTheLoad) {
  testing::TempDir source;
  const std::vector<ScanRecord> before = {
      Rec(C(1024), 0, u"C:", true),
      Rec(C(1025), C(1024), u"shared", true),
      Rec(C(1026), C(1025), u"x.txt", false, 5, 7),
      Rec(C(1027), C(1024), u"only-c.txt", false),
      Rec(C(5, 1), C(1025), u"mounted.txt", false),  // a volume mounted on C: goes too
      Rec(D(1024), 0, u"D:", true),
      Rec(D(1025), D(1024), u"shared", true),
      Rec(D(1026), D(1025), u"x.txt", false, 9, 3),
      Rec(D(1027), D(1024), u"only-d.txt", false),
  };
  ASSERT_TRUE(testing::WriteIndex(source.path(), before).ok());
  std::vector<dbformat::HidEntry> hidden;
  for (uint32_t i = 0; i < before.size(); ++i) hidden.push_back({i, 255});
  testing::WriteFile(source.path() + kHidName, dbformat::EncodeHid(hidden));

  std::string files[2][3];
  for (int on_load = 0; on_load < 2; ++on_load) {
    testing::TempDir home;
    for (const char16_t* name : {kFrsName, kNrsName, kHidName})
      testing::WriteFile(home.path() + name, testing::ReadFile(source.path() + name));
    NuskDbWriter w;
    if (on_load) w.ForgetDriveOnLoad(u'C');
    ASSERT_TRUE(LoadIndexForWrite(&w, home.path(), Env::Default()).ok());
    if (!on_load) { EXPECT_EQ(w.ForgetVolume(u'C', 0), 5u); }
    EXPECT_EQ(w.item_count(), 4u);
    // The drive is rebuilt with a name it had and one it did not.
    for (const ScanRecord& r : {Rec(C(1024), 0, u"C:", true), Rec(C(1025), C(1024), u"x.txt", false, 1, 1),
                                Rec(C(1026), C(1024), u"new.txt", false)})
      ASSERT_TRUE(w.AddRecord(r));
    ASSERT_TRUE(CommitIndex(&w).ok());
    int f = 0;
    for (const char16_t* name : {kFrsName, kNrsName, kHidName})
      files[on_load][f++] = testing::ReadFile(home.path() + name);
  }
  EXPECT_EQ(files[1][0], files[0][0]) << "nusk.frs";
  EXPECT_EQ(files[1][1], files[0][1]) << "nusk.nrs";
  EXPECT_EQ(files[1][2], files[0][2]) << "nusk.hid";
  std::vector<dbformat::HidEntry> kept;
  ASSERT_EQ(dbformat::CheckHid(files[1][2], &kept), "");
  EXPECT_EQ(kept.size(), 4u) << "only D:'s items keep their hidden state";
}

}  // namespace
}  // namespace nusk
