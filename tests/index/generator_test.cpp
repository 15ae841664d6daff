// The synthetic index generator writes files that load, deterministically from a seed.
#include "tools/gen_index/generator.h"

#include <gtest/gtest.h>

#include "tests/index/index_test_util.h"
#include "tests/testing/test_env.h"

namespace nusk::testing {
namespace {

TEST(GeneratorTest, WritesALoadableRealisticIndexFromASeed) {
  TempDir a, b, c;
  gen::Options opt;
  opt.items = 30000;
  opt.seed = 7;
  ASSERT_EQ(gen::Generate(ToUtf8(a.path()), opt).error, "");
  ASSERT_EQ(gen::Generate(ToUtf8(b.path()), opt).error, "");
  opt.seed = 8;
  ASSERT_EQ(gen::Generate(ToUtf8(c.path()), opt).error, "");
  EXPECT_EQ(ReadFile(DbPath(a.path(), kFrsName, Env::Default())), ReadFile(DbPath(b.path(), kFrsName, Env::Default())));
  EXPECT_EQ(ReadFile(DbPath(a.path(), kNrsName, Env::Default())), ReadFile(DbPath(b.path(), kNrsName, Env::Default())));
  EXPECT_NE(ReadFile(DbPath(a.path(), kNrsName, Env::Default())), ReadFile(DbPath(c.path(), kNrsName, Env::Default())));

  NuskDb db;
  Status s = LoadNuskDb(&db, a.path(), Env::Default());
  ASSERT_TRUE(s.ok()) << s.message();
  ASSERT_EQ(db.item_count(), 30000u);
  EXPECT_EQ(db.DriveListText(), u"CD");
  EXPECT_LT(db.name_count(), db.item_count() / 2);  // names are shared
  size_t wide = 0, upper = 0, max_depth = 0, hidden = 0;
  for (uint32_t k = 0; k < db.name_count(); ++k) {
    wide += db.Name(k).wide;
    upper += db.Name(k).case_count > 0;
  }
  for (uint32_t i = 0; i < db.item_count(); ++i) {
    max_depth = std::max(max_depth, db.AncestorChain(i).size());
    hidden += db.GetHideState(i) != HideState::kShown;
  }
  EXPECT_GT(wide, 0u);
  EXPECT_GT(upper, db.name_count() / 10);
  EXPECT_GE(max_depth, 6u);
  EXPECT_EQ(hidden, 0u);  // every item hangs below a drive root
  uint32_t readme = kNoItem;
  for (uint32_t k = db.folder_name_count(); k < db.name_count(); ++k)
    if (db.NameText(k) == u"readme.md") readme = k;
  ASSERT_NE(readme, kNoItem);
  EXPECT_GT(db.Name(readme).count, 5u);
  // The writer form loads the same files.
  NuskDbWriter w;
  ASSERT_TRUE(LoadIndexForWrite(&w, a.path(), Env::Default()).ok());
  EXPECT_EQ(w.item_count(), 30000u);
  EXPECT_TRUE(w.damage().empty());
}

}  // namespace
}  // namespace nusk::testing
