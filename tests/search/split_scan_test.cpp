// A name scan split over two threads yields exactly the items, in exactly the order, of
// the scan on one thread, also when a stop flag interrupts it and it is resumed.
#include <gtest/gtest.h>

#include <atomic>
#include <random>

#include "search/find_result.h"
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

TEST(SplitScanTest, TwoThreadsGiveTheSameItemsInTheSameOrder) {
  TestIndex index;
  std::mt19937 rng(7);
  const std::u16string letters = u"abcdeé.x";
  const uint64_t root = index.Folder(u"C:");
  for (int k = 0; k < 6000; ++k) {  // several stop-check blocks of names on each side
    std::u16string name;
    for (int c = 2 + rng() % 9; c > 0; --c) name += letters[rng() % letters.size()];
    index.Child(root, name, rng() % 4 == 0);
  }
  index.Build();
  const NameScanSplit saved = CurrentNameScanSplit();
  for (const char16_t* q : {u"a", u"é", u"ab", u"abc", u"ab*", u"*.x", u"a*b*c", u"ab de", u"zzz"}) {
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

}  // namespace
}  // namespace nusk::testing
