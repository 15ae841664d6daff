// Sorting checked against keys built by brute force from the definition of each sort order, on a
// random tree with repeated names, equal sibling names, negative times, KiB size forms
// and a folder chain deeper than 256 levels.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <tuple>

#include "search/radix_sort.h"
#include "tests/search/search_fixture.h"

namespace nusk::testing {
namespace {

// (path chain of the parent, value, tie): compared lexicographically, a chain that is a
// prefix of another first, which is how paths are ordered.
using RefKey = std::tuple<std::vector<uint32_t>, int64_t, uint32_t>;

class SortOrderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::mt19937 rng(7);
    const char16_t* kNames[] = {u"a", u"B", u"b", u"src", u"Src", u"x.txt", u"y.dat", u"z"};
    std::vector<uint64_t> folders = {t_.Child(0, u"C:", true), t_.Child(0, u"D:", true, 0, 0, 3)};
    for (int i = 0; i < 150; ++i)  // siblings may share a name: equal chains
      folders.push_back(t_.Child(folders[rng() % folders.size()], kNames[rng() % 8], true));
    uint64_t deep = folders[0];
    for (int i = 0; i < 300; ++i) folders.push_back(deep = t_.Child(deep, i % 2 ? u"d" : u"e", true));
    for (int i = 0; i < 400; ++i) {
      const uint64_t bytes = rng() % 3 ? rng() % 5000 : (uint64_t{rng()} << 4);  // large ones in KiB form
      t_.Child(i % 10 ? folders[rng() % folders.size()] : deep, kNames[rng() % 8], false, bytes, rng());
    }
    t_.Build();
  }

  std::vector<uint32_t> Sorted(std::u16string_view query) {
    NopFileListSourceChangeListener nop;
    FileListSource source(&t_.view(), &nop);
    source.Submit(query, false);
    return source.Results();
  }

  std::vector<uint32_t> Chain(uint32_t item) {
    std::vector<uint32_t> chain;
    for (uint32_t p = t_.db().Parent(item); p != kNoItem; p = t_.db().Parent(p)) chain.push_back(t_.db().NameOf(p));
    std::reverse(chain.begin(), chain.end());
    return chain;
  }

  int64_t Size(uint32_t i) {
    const uint32_t form = t_.db().SizeForm(i);
    return form <= 0x7FFFFFFF ? form : int64_t{-static_cast<int32_t>(form)} * 1024;
  }

  int64_t FileCount(uint32_t i) {
    if (!t_.db().IsFolder(i)) return -1;
    int64_t n = 0;
    for (uint32_t f = t_.db().folder_count(); f < t_.db().item_count(); ++f)
      for (uint32_t p = t_.db().Parent(f); p != kNoItem; p = t_.db().Parent(p)) n += p == i;
    return n;
  }

  // Every item of the result is in order under key; all items are there. Items whose
  // keys are equal keep the order they were found in (index order) either way.
  void ExpectOrdered(std::u16string_view query, bool ascending, const std::function<RefKey(uint32_t)>& key) {
    const std::vector<uint32_t> got = Sorted(query);
    ASSERT_EQ(got.size(), Sorted(u"").size()) << ToUtf8(query);
    std::vector<std::pair<RefKey, int64_t>> keys;
    for (uint32_t i : got) keys.emplace_back(key(i), ascending ? int64_t{i} : -int64_t{i});
    const bool ok = ascending ? std::is_sorted(keys.begin(), keys.end())
                              : std::is_sorted(keys.begin(), keys.end(), std::greater<>());
    EXPECT_TRUE(ok) << ToUtf8(query);
  }

  TestIndex t_;
};

TEST_F(SortOrderTest, SingleKeysWithTieBreaksBothWays) {
  const auto name = [&](uint32_t i) { return t_.db().NameOf(i); };
  for (bool up : {true, false}) {
    const std::u16string sign = up ? u"+" : u"-";
    ExpectOrdered(u"/sort:path" + sign, up, [&](uint32_t i) { return RefKey{Chain(i), 0, name(i)}; });
    ExpectOrdered(u"/sort:name" + sign, up, [&](uint32_t i) { return RefKey{{}, name(i), 0}; });
    ExpectOrdered(u"/sort:size" + sign, up, [&](uint32_t i) { return RefKey{{}, Size(i), name(i)}; });
    ExpectOrdered(u"/sort:date" + sign, up, [&](uint32_t i) {
      return RefKey{{}, static_cast<int32_t>(t_.db().Time(i)), name(i)};
    });
    ExpectOrdered(u"/sort:fileCount" + sign, up, [&](uint32_t i) { return RefKey{{}, FileCount(i), name(i)}; });
  }
}

TEST_F(SortOrderTest, PathThenDateWithoutTieBreak) {
  const std::vector<uint32_t> got = Sorted(u"/sort:path+date-");
  for (size_t j = 1; j < got.size(); ++j) {
    const uint32_t a = got[j - 1], b = got[j];
    const auto ca = Chain(a), cb = Chain(b);
    ASSERT_LE(ca, cb);
    if (ca == cb) { EXPECT_GE(static_cast<int32_t>(t_.db().Time(a)), static_cast<int32_t>(t_.db().Time(b))); }
  }
}

TEST(RadixSortTest, MatchesComparisonSortOnNarrowAndWideKeys) {
  std::mt19937_64 rng(3);
  // Key widths with tie widths: narrow, one word together, wider than a word (-64: four
  // distinct keys of 64 bits, so that ties decide).
  const struct {
    int key, tie;
  } widths[] = {{0, 6}, {7, 6}, {20, 23}, {40, 6}, {40, 24}, {33, 31}, {64, 6}, {-64, 32}, {5, 0}, {0, 0}};
  const uint64_t few[] = {~uint64_t{0}, uint64_t{1} << 63, 12345, 0};
  for (const auto& w : widths) {
    for (bool descending : {false, true}) {
      // One case large enough (3.2 MB) for table memory of its own mapping.
      KeyedItems v(w.key == 40 && w.tie == 24 ? 200000 : 3000);
      const auto value = [&](int width) {
        if (width < 0) return few[rng() % 4];
        return width == 0 ? 5 : width == 64 ? rng() : rng() % (uint64_t{1} << width);
      };
      for (uint32_t i = 0; i < v.size(); ++i) {
        v[i] = KeyedItem{value(w.key), static_cast<uint32_t>(w.tie == 0 ? 0 : value(w.tie)), i};
        if (i % 7 == 0 && i > 0) v[i].key = v[i - 1].key, v[i].tie = v[i - 1].tie;  // equal entries stay in order
      }
      KeyedItems want = v;
      std::stable_sort(want.begin(), want.end(), [&](const KeyedItem& a, const KeyedItem& b) {
        return descending ? std::tie(b.key, b.tie) < std::tie(a.key, a.tie)
                          : std::tie(a.key, a.tie) < std::tie(b.key, b.tie);
      });
      RadixSort(&v, descending);
      for (size_t i = 0; i < v.size(); ++i)
        ASSERT_EQ(v[i].item, want[i].item)
            << "widths " << w.key << "+" << w.tie << (descending ? " down" : " up") << " at " << i;
    }
  }
}

}  // namespace
}  // namespace nusk::testing
