// The result cache: what makes an entry stale, and what it keeps.
#include <gtest/gtest.h>

#include <map>

#include "web/result_cache.h"

namespace nusk {
namespace {

ResultCache::Results Items(size_t n) { return std::make_shared<const std::vector<uint32_t>>(n, 7u); }

TEST(ResultCacheTest, HitsOnlyWhileEverythingTheResultsDependOnIsUnchanged) {
  ResultCache cache(8, 1000);
  std::map<std::u16string, std::u16string> named = {{u"Pics", u"*.jpg"}};
  auto lookup = [&](std::u16string_view name) { return named[std::u16string(name)]; };
  ResultCache::Key key{u"@Pics abc", 20261206, 0x4};
  ResultCache::Results r = Items(3);
  cache.Add(key, {{u"Pics", u"*.jpg"}}, r);
  EXPECT_EQ(cache.Find(key, lookup), r);
  EXPECT_EQ(cache.Find({u"@pics abc", 20261206, 0x4}, lookup), nullptr);  // other text
  EXPECT_EQ(cache.Find({u"@Pics abc", 20261207, 0x4}, lookup), nullptr);  // next day
  EXPECT_EQ(cache.Find({u"@Pics abc", 20261206, 0x6}, lookup), nullptr);  // a drive came
  named[u"Pics"] = u"*.png";  // the named search was edited: the entry is gone for good
  EXPECT_EQ(cache.Find(key, lookup), nullptr);
  named[u"Pics"] = u"*.jpg";
  EXPECT_EQ(cache.Find(key, lookup), nullptr);
  EXPECT_EQ(cache.size(), 0u);
}

TEST(ResultCacheTest, DropsTheLeastRecentlyUsedWithinItsBounds) {
  ResultCache cache(3, 100);
  auto key = [](int i) { return ResultCache::Key{std::u16string(1, char16_t(u'a' + i)), 1, 0}; };
  for (int i = 0; i < 3; ++i) cache.Add(key(i), {}, Items(10));
  ASSERT_NE(cache.Find(key(0), nullptr), nullptr);  // now the most recent
  cache.Add(key(3), {}, Items(10));                 // pushes out b, the least recent
  EXPECT_EQ(cache.Find(key(1), nullptr), nullptr);
  EXPECT_NE(cache.Find(key(0), nullptr), nullptr);
  cache.Add(key(4), {}, Items(85));  // over the item budget: only what fits stays
  EXPECT_NE(cache.Find(key(4), nullptr), nullptr);
  EXPECT_EQ(cache.size(), 2u);
  cache.Add(key(5), {}, Items(500));  // too big alone: kept, as the only entry
  EXPECT_EQ(cache.size(), 1u);
  EXPECT_NE(cache.Find(key(5), nullptr), nullptr);
  cache.Add(key(5), {}, Items(1));  // the same key replaces its entry
  EXPECT_EQ(cache.Find(key(5), nullptr)->size(), 1u);
}

}  // namespace
}  // namespace nusk
