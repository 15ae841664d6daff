// A name scan split over two threads yields exactly the items, in exactly the order, of
// the scan on one thread, also when a stop flag interrupts it and it is resumed.
#include <gtest/gtest.h>

#include <atomic>
#include <random>

#include "index/search_snapshot.h"
#include "search/find_result.h"
#include "tests/index/index_test_util.h"
#include "tests/search/test_index.h"

namespace nusk::testing {
namespace {

// The walk of a cursor; with a stop flag that is raised on every `stop_every`-th Next and
// lowered again before the walk resumes (0: never).
std::vector<uint32_t> Walk(const TestIndex& index, std::u16string_view q, int stop_every) {
  FindResultPtr cursor = CreateFindResult(ParseQuery(q), index.view(), {});
  std::atomic<bool> stop{false};
  cursor->set_stop_flag(&stop);
  std::vector<uint32_t> out;
  for (int calls = 1;; ++calls) {
    stop = stop_every > 0 && calls % stop_every == 0;
    if (cursor->Next()) {
      out.push_back(cursor->Current());
    } else if (!cursor->interrupted()) {
      break;
    }
  }
  return out;
}

// 6,000 names of random letters in one folder: several runs and stop-check blocks of
// names on each side of the split.
void AddRandomNames(TestIndex* index) {
  std::mt19937 rng(7);
  const std::u16string letters = u"abcdeé.x";
  const uint64_t root = index->Folder(u"C:");
  for (int k = 0; k < 6000; ++k) {
    std::u16string name;
    for (int c = 2 + rng() % 9; c > 0; --c) name += letters[rng() % letters.size()];
    index->Child(root, name, rng() % 4 == 0);
  }
}

const char16_t* const kQueries[] = {u"a", u"é", u"ab", u"abc", u"ab*", u"*.x", u"a*b*c", u"ab de", u"zzz"};

TEST(SplitScanTest, TwoThreadsGiveTheSameItemsInTheSameOrder) {
  TestIndex index;
  AddRandomNames(&index);
  index.Build();
  const NameScanSplit saved = CurrentNameScanSplit();
  for (const char16_t* q : kQueries) {
    SCOPED_TRACE(ToUtf8(q));
    SetNameScanSplit({1, 0});
    const std::vector<uint32_t> one = Walk(index, q, 0);
    SetNameScanSplit({2, 0});
    EXPECT_EQ(Walk(index, q, 0), one);
    EXPECT_EQ(Walk(index, q, 3), one);  // stopped and resumed
    EXPECT_EQ(Walk(index, q, 1), one);  // the flag up on every call
  }
  SetNameScanSplit(saved);
}

// The snapshot bytes of name row k's text (with its kind character and terminator), when
// they occur there once.
std::string UniqueNameBytes(NuskDb& db, uint32_t k, const std::string& snap) {
  std::u16string units(1, db.NameKind(k));
  units += db.NameText(k);
  units += u'\0';
  const std::string bytes(reinterpret_cast<const char*>(units.data()), 2 * units.size());
  return snap.find(bytes) != std::string::npos && snap.find(bytes) == snap.rfind(bytes) ? bytes : std::string();
}

// Read on demand, a scan reads the names in runs from the snapshot, on each thread, not
// the tables whole, and finds what the decoded files give. A damaged run, in the first
// half or the helper's, is noticed: the scan goes on with the decoded files and still
// finds the same items in the same order.
TEST(SplitScanTest, NamesReadOnDemandInRunsAndChecked) {
  TestIndex index;
  AddRandomNames(&index);
  index.Build();
  const NameScanSplit saved = CurrentNameScanSplit();
  SetNameScanSplit({1, 0});
  index.Reload(false);
  std::vector<std::vector<uint32_t>> truth;
  for (const char16_t* q : kQueries) truth.push_back(Walk(index, q, 0));
  // A name of 8 letters or more near each end of the table, whose bytes are found once.
  const std::u16string snap_path = DbPath(index.home(), kSnapName, Env::Default());
  const std::string snap = ReadFile(snap_path);
  std::string early, late;
  for (uint32_t k = 0; early.empty() && k < 3000; ++k)
    if (index.db().Name(k).length >= 8) early = UniqueNameBytes(index.db(), k, snap);
  for (uint32_t k = index.db().name_count(); late.empty() && k-- > 3000;)
    if (index.db().Name(k).length >= 8) late = UniqueNameBytes(index.db(), k, snap);
  ASSERT_FALSE(early.empty() || late.empty());

  for (const int threads : {1, 2}) {
    SCOPED_TRACE(std::to_string(threads) + " threads");
    SetNameScanSplit({threads, 0});
    index.Reload(true, SnapshotReads::kOnDemand);
    ASSERT_TRUE(index.db().NameRunsFromFile());
    for (size_t q = 0; q < std::size(kQueries); ++q) {
      EXPECT_EQ(Walk(index, kQueries[q], 0), truth[q]) << ToUtf8(kQueries[q]);
      EXPECT_EQ(Walk(index, kQueries[q], 3), truth[q]) << ToUtf8(kQueries[q]) << ", stopped and resumed";
    }
    EXPECT_TRUE(index.db().NameRunsFromFile()) << "a scan used the name tables whole";
    EXPECT_TRUE(index.db().from_snapshot());
  }
  SetNameScanSplit({2, 0});
  for (const std::string* name : {&early, &late}) {
    SCOPED_TRACE(name == &early ? "first half damaged" : "second half damaged");
    std::string damaged = snap;
    damaged[damaged.find(*name) + 4] ^= 0x01;  // a letter of the name
    index.Reload(true, SnapshotReads::kOnDemand, [&] { WriteFile(snap_path, damaged); });
    EXPECT_EQ(Walk(index, u"a", 0), truth[0]);
    EXPECT_FALSE(index.db().from_snapshot()) << "the damaged run was used";
    index.Reload(true, SnapshotReads::kOnDemand, [&] { WriteFile(snap_path, snap); });
  }
  SetNameScanSplit(saved);
}

}  // namespace
}  // namespace nusk::testing
