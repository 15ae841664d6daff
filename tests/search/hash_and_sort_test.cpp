// Content-hash values and duplicate counts from "nusk.hash", and sorting by every key.
#include <gtest/gtest.h>

#include "search/hash_file.h"
#include "search/hash_info.h"
#include "search/sort.h"
#include "tests/search/search_fixture.h"

namespace nusk::testing {
namespace {

HashRecord Rec(uint64_t ref, uint8_t digest_byte, uint32_t hashed = 1) {
  HashRecord r;
  r.reference = ref;
  r.hashed = hashed;
  r.digest[3] = digest_byte;
  return r;
}

TEST(HashInfoTest, GroupsSingletonsZeroDigestsAndUnknownReferences) {
  TestIndex t;
  const uint64_t a = t.File(u"C:\\a"), b = t.File(u"C:\\b"), c = t.File(u"C:\\c"), d = t.File(u"C:\\d"),
                 e = t.File(u"C:\\e"), f = t.File(u"C:\\f");
  t.Build();
  HashRecord zero = Rec(e, 0);
  const std::vector<HashRecord> records = {
      Rec(999999, 7),  // not in the index
      Rec(a, 7), Rec(c, 9), Rec(b, 7), Rec(d, 5, 0), zero, Rec(f, 9), Rec(a, 9) /* repeated item */};
  HashInfo h;
  h.Assign(t.db(), records);
  EXPECT_EQ(h.value(t.Item(u"C:\\a")), 0xF0000001u);  // first group in file order
  EXPECT_EQ(h.value(t.Item(u"C:\\b")), 0xF0000001u);
  EXPECT_EQ(h.count(t.Item(u"C:\\a")), 2u);
  EXPECT_EQ(h.value(t.Item(u"C:\\c")), 0xF0000002u);
  EXPECT_EQ(h.count(t.Item(u"C:\\f")), 2u);           // the repeated record of a did not join
  EXPECT_EQ(h.value(t.Item(u"C:\\d")), 0u);           // hashed flag 0
  EXPECT_EQ(h.count(t.Item(u"C:\\d")), 0u);
  EXPECT_EQ(h.value(t.Item(u"C:\\e")), 5u);           // all-zero digest: its record position
  EXPECT_EQ(h.value(t.Item(u"C:\\Z")), 0u);

  // A content that only one item has: R + its item index, count 0.
  h.Assign(t.db(), {Rec(a, 1), Rec(b, 2), Rec(c, 2)});
  EXPECT_EQ(h.value(t.Item(u"C:\\a")), 3u + t.Item(u"C:\\a"));
  EXPECT_EQ(h.count(t.Item(u"C:\\a")), 0u);
}

TEST(HashInfoTest, HugeGroupSaturatesItsCount) {
  TestIndex t;
  std::vector<HashRecord> records;
  for (int i = 0; i < 65537; ++i) records.push_back(Rec(t.File(u"C:\\f" + U16(std::to_string(i))), 4));
  t.Build();
  HashInfo h;
  h.Assign(t.db(), records);
  EXPECT_EQ(h.count(t.Item(u"C:\\f0")), 65535u);  // not 1 (65537 wrapped in 16 bits)
  EXPECT_EQ(h.count(t.Item(u"C:\\f65536")), 65535u);
}

TEST(HashFileTest, RoundTripAndDamage) {
  std::vector<HashRecord> in = {Rec(1, 2), Rec(3, 4, 0)};
  in[0].size = 123;
  std::string bytes = EncodeHashFile(in);
  EXPECT_EQ(bytes.size(), kHashHeaderSize + 4 + 2 * kHashRecordSize);
  std::vector<HashRecord> out;
  ASSERT_TRUE(DecodeHashFile(bytes, &out).ok());
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].reference, 1u);
  EXPECT_EQ(out[0].size, 123u);
  EXPECT_EQ(out[1].hashed, 0u);
  EXPECT_EQ(out[1].digest, in[1].digest);
  EXPECT_TRUE(DecodeHashFile("", &out).ok());
  EXPECT_TRUE(out.empty());
  bytes.pop_back();  // the last record is cut
  EXPECT_FALSE(DecodeHashFile(bytes, &out).ok());
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(DecodeHashFile(std::string(100, 'x'), &out).ok());
  // The count field alone claims four billion records.
  std::string lying = EncodeHashFile({});
  lying[kHashHeaderSize + 3] = '\xF0';
  EXPECT_FALSE(DecodeHashFile(lying, &out).ok());
}

TEST(HashInfoTest, DamagedFileLoadsAsNoHashes) {
  TestIndex t;
  const uint64_t a = t.File(u"C:\\a");
  const uint64_t b = t.File(u"C:\\b");
  t.Build();
  std::string bytes = EncodeHashFile({Rec(a, 1), Rec(b, 1)});
  bytes.resize(bytes.size() - 1);
  t.dir().WriteFile(u"nusk.hash", bytes);
  HashInfo h;
  EXPECT_FALSE(h.Load(t.db(), t.home()).ok());
  EXPECT_EQ(h.count(t.Item(u"C:\\a")), 0u);
  t.dir().WriteFile(u"nusk.hash", EncodeHashFile({Rec(a, 1), Rec(b, 1)}));
  EXPECT_TRUE(h.Load(t.db(), t.home()).ok());
  EXPECT_EQ(h.count(t.Item(u"C:\\a")), 2u);
}

TEST(HashQueryTest, DupAndHashSwitches) {
  TestIndex t;
  const uint64_t a = t.File(u"C:\\x\\a"), b = t.File(u"C:\\y\\b"), c = t.File(u"C:\\c");
  t.File(u"C:\\none");
  t.Build();
  EXPECT_EQ(Find(t, u"/dup:2"), PathSet{});  // no hash information yet
  t.SetHashes({Rec(a, 1), Rec(b, 1), Rec(c, 2)});
  EXPECT_EQ(Find(t, u"/dup:2"), (PathSet{u"C:\\x\\a", u"C:\\y\\b"}));
  EXPECT_EQ(Find(t, u"/hash:f0000001"), (PathSet{u"C:\\x\\a", u"C:\\y\\b"}));
  char text[32];
  std::snprintf(text, sizeof text, "/hash:%X", 3 + t.Item(u"C:\\c"));
  EXPECT_EQ(Find(t, U16(text)), (PathSet{u"C:\\c"}));
  EXPECT_EQ(Find(t, u"/hash:0"), PathSet{});
  EXPECT_EQ(Find(t, u"/hash:xyz"), PathSet{});
  EXPECT_EQ(Find(t, u"/dup:1").size(), t.db().item_count());
}

TEST(SortClauseTest, WordsSignsAndText) {
  EXPECT_EQ(ParseSortClause(u"/sort:size-name+"),
            (SortKeys{{0xFFFFFFFF, 0, kSortSize}, {0xFFFFFFFF, 1, kSortName}}));
  EXPECT_EQ(ParseSortClause(u"/sort:date"), (SortKeys{{0xFFFFFFFF, 0, kSortDate}}));
  EXPECT_EQ(ParseSortClause(u"/SORT:DupCount-"), ParseSortClause(u"/sort:dupcount-"));
  EXPECT_EQ(ParseSortClause(u"/sort:dupcount-")[0].id, kSortDupCount);
  EXPECT_EQ(ParseSortClause(u"/sort:ext,unknown,path")[1].id, kSortPath);
  EXPECT_TRUE(ParseSortClause(u"/sort:unknown").empty());
  EXPECT_TRUE(ParseSortClause(u"/sortsize").empty());
  EXPECT_EQ(SortClauseText(ParseSortClause(u"/sort:dupcount,filecount+ext-size")),
            u"/sort:dupCount-fileCount+size-");
}

class SortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    t_.File(u"C:\\z\\big.txt", 5000, 10);
    t_.File(u"C:\\z\\small.txt", 10, 30);
    t_.File(u"C:\\a\\mid.dat", 300, 20);
    t_.File(u"C:\\a\\b\\same.txt", 300, 40);
    t_.File(u"C:\\huge.iso", 5ull << 30, 5);
    t_.File(u"C:\\noext", 1, 50);
    t_.Build();
  }
  std::vector<std::u16string> Sorted(std::u16string_view q, bool sizes = false) {
    return FindOrdered(t_, q, sizes);
  }
  TestIndex t_;
};

TEST_F(SortTest, FolderSizesOnlyWhenShown) {
  // Without folder sizes every folder weighs 0 and sorts after the files.
  auto plain = Sorted(u"/sort:size");
  EXPECT_EQ(plain.front(), u"C:\\huge.iso");
  // With them, the drive root holds everything and comes first.
  auto shown = Sorted(u"/sort:size", true);
  EXPECT_EQ(shown.front(), u"C:");
  EXPECT_EQ(shown[1], u"C:\\huge.iso");
}

TEST_F(SortTest, ExtAndMultiKey) {
  const auto ext = Sorted(u"/sort:ext");
  // Folders first, then "" (noext) before dat, iso, txt.
  ASSERT_EQ(ext.size(), 10u);
  EXPECT_EQ(ext[4], u"C:\\noext");
  EXPECT_EQ(ext[5], u"C:\\a\\mid.dat");
  EXPECT_EQ(ext[6], u"C:\\huge.iso");
  // Multi-key: extension, then size descending.
  const auto multi = Sorted(u"/f /sort:ext+size-");
  EXPECT_EQ(multi[3], u"C:\\z\\big.txt");
  EXPECT_EQ(multi[5], u"C:\\z\\small.txt");
  EXPECT_EQ(Sorted(u"/f /sort:unknown").size(), 6u);
}

}  // namespace
}  // namespace nusk::testing
