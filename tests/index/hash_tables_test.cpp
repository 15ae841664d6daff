// The writer's flat hash tables against a plain map model: random inserts, replaces and
// erases (with runs that wrap round the end of the slot array) must never lose or
// invent an entry, and names must keep their keys and insertion order through growth.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "index/folder_map.h"
#include "index/name_table.h"
#include "index/nusk_db_writer.h"

namespace nusk::testing {
namespace {

TEST(FolderMapTest, MatchesAMapThroughRandomSetsAndErases) {
  FolderMap map;
  std::map<uint64_t, FileRecord*> model;
  std::vector<FileRecord> records(64);
  std::mt19937_64 rng(7);
  for (int step = 0; step < 200000; ++step) {
    // Few distinct references, so runs collide, wrap and are erased from the middle.
    uint64_t ref = MakeRef(static_cast<uint32_t>(rng() % 300), static_cast<uint8_t>(rng() % 3));
    FileRecord* rec = &records[rng() % records.size()];
    switch (rng() % 4) {
      case 0:
      case 1:
        map.Set(ref, rec);
        model[ref] = rec;
        break;
      case 2:
        map.Erase(ref);
        model.erase(ref);
        break;
      default:  // erase only when it still maps to rec
        map.Erase(ref, rec);
        if (auto it = model.find(ref); it != model.end() && it->second == rec) model.erase(it);
    }
    if (step % 997 == 0) {
      ASSERT_EQ(map.size(), model.size()) << step;
      for (uint32_t r = 0; r < 300; ++r)
        for (uint8_t d = 0; d < 3; ++d) {
          auto it = model.find(MakeRef(r, d));
          ASSERT_EQ(map.Find(MakeRef(r, d)), it == model.end() ? nullptr : it->second) << step;
        }
    }
  }
}

TEST(NameTableTest, FindsEveryKeyThroughGrowthAndKeepsInsertionOrder) {
  NameTable table;
  std::vector<std::u16string> keys;
  for (int i = 0; i < 50000; ++i) {
    std::u16string key = u"2name" + std::u16string(static_cast<size_t>(i % 40), u'x') + u"|";
    for (int v = i; v; v /= 26) key.push_back(static_cast<char16_t>(u'a' + v % 26));
    keys.push_back(key);
    bool inserted = false;
    table.FindOrInsert(key, &inserted)->second.length = static_cast<uint8_t>(i % 200);
    ASSERT_TRUE(inserted) << i;
  }
  ASSERT_EQ(table.size(), keys.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    const NameTable::Entry* e = table.find(keys[i]);
    ASSERT_NE(e, table.end());
    EXPECT_EQ(e->first, keys[i]);
    EXPECT_EQ(e->second.length, i % 200);
    EXPECT_EQ(table.entries()[i], e);
    bool inserted = true;
    EXPECT_EQ(table.FindOrInsert(keys[i], &inserted), e);
    EXPECT_FALSE(inserted);
  }
  EXPECT_EQ(table.find(u"2namex"), table.end());
  EXPECT_EQ(table.find(u""), table.end());
}

}  // namespace
}  // namespace nusk::testing
