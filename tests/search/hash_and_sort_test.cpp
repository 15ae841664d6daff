// Content-hash values and duplicate counts from "nusk.hash", and sorting by every key.
#include <gtest/gtest.h>

#include <set>

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
  for (const char16_t* p : {u"C:\\a", u"C:\\b", u"C:\\c", u"C:\\d", u"C:\\e", u"C:\\f"}) t.File(p, 10);
  t.Build();
  const auto rec = [&t](const char16_t* p, uint8_t digest) { return t.RecordFor(p, digest); };
  HashRecord no_hash = rec(u"C:\\d", 5);
  no_hash.hashed = 0;
  const std::vector<HashRecord> records = {Rec(999999, 7),  // not in the index
                                           rec(u"C:\\a", 7), rec(u"C:\\c", 9), rec(u"C:\\b", 7), no_hash,
                                           rec(u"C:\\e", 0), rec(u"C:\\f", 9), rec(u"C:\\a", 9) /* repeated item */};
  HashInfo h;
  h.Assign(t.db(), records);
  EXPECT_EQ(h.value(t.Item(u"C:\\a")), 0xF0000001u);  // first group in file order
  EXPECT_EQ(h.value(t.Item(u"C:\\b")), 0xF0000001u);
  EXPECT_EQ(h.count(t.Item(u"C:\\a")), 2u);
  EXPECT_EQ(h.value(t.Item(u"C:\\c")), 0xF0000002u);
  EXPECT_EQ(h.count(t.Item(u"C:\\f")), 2u);  // the repeated record of a did not join
  EXPECT_EQ(h.value(t.Item(u"C:\\d")), 0u);  // hashed flag 0
  EXPECT_EQ(h.count(t.Item(u"C:\\d")), 0u);
  EXPECT_EQ(h.value(t.Item(u"C:\\e")), 5u);  // all-zero digest: its record position
  EXPECT_EQ(h.value(t.Item(u"C:\\Z")), 0u);

  // A content that only one item has: R + its item index, count 0.
  h.Assign(t.db(), {rec(u"C:\\a", 1), rec(u"C:\\b", 2), rec(u"C:\\c", 2)});
  EXPECT_EQ(h.value(t.Item(u"C:\\a")), 3u + t.Item(u"C:\\a"));
  EXPECT_EQ(h.count(t.Item(u"C:\\a")), 0u);
}

TEST(HashInfoTest, HugeGroupSaturatesItsCount) {
  TestIndex t;
  for (int i = 0; i < 65537; ++i) t.File(u"C:\\f" + U16(std::to_string(i)));
  t.Build();
  const ItemChecks checks(t.db());
  std::vector<HashRecord> records;
  for (uint32_t i = t.db().folder_count(); i < t.db().item_count(); ++i) {
    records.push_back(Rec(t.db().Reference(i), 4, checks(i)));
  }
  HashInfo h;
  h.Assign(t.db(), records);
  EXPECT_EQ(h.count(t.Item(u"C:\\f0")), 65535u);  // not 1 (65537 wrapped in 16 bits)
  EXPECT_EQ(h.count(t.Item(u"C:\\f65536")), 65535u);
}

// Walked drives number items in walk order, so a rebuild gives old references to other
// files. Hashes made for one index must follow their files into the next one or be
// dropped, never land on whatever now holds the reference.
TEST(HashInfoTest, RecordsFollowTheirFilesAcrossRenumbering) {
  TestIndex before;
  before.File(u"C:\\d\\a1", 4);
  before.File(u"C:\\d\\a2", 4);
  before.File(u"C:\\d\\big", 4);
  before.Build();
  const std::vector<HashRecord> records = {before.RecordFor(u"C:\\d\\a1", 1), before.RecordFor(u"C:\\d\\a2", 1),
                                           before.RecordFor(u"C:\\d\\big", 2)};

  // a1 is gone and "0first", of the same size, took its number; a2 and big moved up.
  TestIndex after;
  after.File(u"C:\\d\\0first", 4);
  after.File(u"C:\\d\\extra", 4);
  after.File(u"C:\\d\\a2", 4);
  after.File(u"C:\\d\\big", 5);  // changed since hashing: same path, other size
  after.Build();
  ASSERT_EQ(after.Reference(u"C:\\d\\0first"), before.Reference(u"C:\\d\\a1"));
  ASSERT_EQ(after.Reference(u"C:\\d\\extra"), before.Reference(u"C:\\d\\a2"));
  after.SetHashes(records);
  EXPECT_EQ(Find(after, u"/dup:2"), PathSet{});
  EXPECT_EQ(after.view().hash_values[after.Item(u"C:\\d\\0first")], 0u);
  EXPECT_EQ(after.view().hash_values[after.Item(u"C:\\d\\extra")], 0u);
  EXPECT_EQ(after.view().hash_values[after.Item(u"C:\\d\\big")], 0u);
  EXPECT_NE(after.view().hash_values[after.Item(u"C:\\d\\a2")], 0u);  // found again under its new number
  HashInfo h;
  h.Assign(after.db(), records);
  EXPECT_EQ(h.match().matched, 0u);
  EXPECT_EQ(h.match().moved, 1u);
  EXPECT_EQ(h.match().stale, 2u);

  // Both copies still there under new numbers: still one group of two.
  TestIndex both;
  both.File(u"C:\\d\\0first", 4);
  both.File(u"C:\\d\\a1", 4);
  both.File(u"C:\\d\\a2", 4);
  both.Build();
  both.SetHashes(records);
  EXPECT_EQ(Find(both, u"/dup:2"), (PathSet{u"C:\\d\\a1", u"C:\\d\\a2"}));

  // A record from before path checks existed (hashed flag 1) is not trusted.
  HashRecord old = before.RecordFor(u"C:\\d\\a2", 1);
  old.hashed = 1;
  h.Assign(before.db(), {old, before.RecordFor(u"C:\\d\\a1", 1)});
  EXPECT_EQ(h.count(before.Item(u"C:\\d\\a1")), 0u);
  EXPECT_EQ(h.match().stale, 1u);
}

TEST(ItemChecksTest, DependOnEveryNameOfThePathAndItsCase) {
  TestIndex t;
  for (const char16_t* p : {u"C:\\x\\f", u"C:\\y\\f", u"D:\\x\\f", u"C:\\x\\y\\f", u"C:\\f"}) t.File(p);
  t.Child(t.Reference(u"C:\\x"), u"F", false);                             // C:\x\F
  t.Child(t.Child(t.Reference(u"C:"), u"X", true, 0, 0, 2), u"f", false);  // C:\X\f
  t.Build();
  const ItemChecks checks(t.db());
  std::set<uint32_t> seen;
  for (uint32_t i = 0; i < t.db().item_count(); ++i) {
    EXPECT_GE(checks(i), 2u);
    EXPECT_TRUE(seen.insert(checks(i)).second) << ToUtf8(t.Path(i));
  }
  // The same path in another index gives the same check.
  TestIndex other;
  other.File(u"C:\\zzz\\q");
  other.File(u"C:\\x\\y\\f");
  other.Build();
  EXPECT_EQ(ItemChecks(other.db())(other.Item(u"C:\\x\\y\\f")), checks(t.Item(u"C:\\x\\y\\f")));
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
  t.File(u"C:\\a");
  t.File(u"C:\\b");
  t.Build();
  const std::vector<HashRecord> records = {t.RecordFor(u"C:\\a", 1), t.RecordFor(u"C:\\b", 1)};
  std::string bytes = EncodeHashFile(records);
  bytes.resize(bytes.size() - 1);
  t.dir().WriteFile(u"nusk.hash", bytes);
  HashInfo h;
  EXPECT_FALSE(h.Load(t.db(), t.home(), Env::Default()).ok());
  EXPECT_EQ(h.count(t.Item(u"C:\\a")), 0u);
  t.dir().WriteFile(u"nusk.hash", EncodeHashFile(records));
  EXPECT_TRUE(h.Load(t.db(), t.home(), Env::Default()).ok());
  EXPECT_EQ(h.count(t.Item(u"C:\\a")), 2u);
}

TEST(HashQueryTest, DupAndHashSwitches) {
  TestIndex t;
  t.File(u"C:\\x\\a");
  t.File(u"C:\\y\\b");
  t.File(u"C:\\c");
  t.File(u"C:\\none");
  t.Build();
  EXPECT_EQ(Find(t, u"/dup:2"), PathSet{});  // no hash information yet
  t.SetHashes({t.RecordFor(u"C:\\x\\a", 1), t.RecordFor(u"C:\\y\\b", 1), t.RecordFor(u"C:\\c", 2)});
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
  EXPECT_EQ(ParseSortClause(u"/sort:size-name+"), (SortKeys{{0xFFFFFFFF, 0, kSortSize}, {0xFFFFFFFF, 1, kSortName}}));
  EXPECT_EQ(ParseSortClause(u"/sort:date"), (SortKeys{{0xFFFFFFFF, 0, kSortDate}}));
  EXPECT_EQ(ParseSortClause(u"/SORT:DupCount-"), ParseSortClause(u"/sort:dupcount-"));
  EXPECT_EQ(ParseSortClause(u"/sort:dupcount-")[0].id, kSortDupCount);
  EXPECT_EQ(ParseSortClause(u"/sort:ext,unknown,path")[1].id, kSortPath);
  EXPECT_TRUE(ParseSortClause(u"/sort:unknown").empty());
  EXPECT_TRUE(ParseSortClause(u"/sortsize").empty());
  EXPECT_EQ(SortClauseText(ParseSortClause(u"/sort:dupcount,filecount+ext-size")), u"/sort:dupCount-fileCount+size-");
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
  std::vector<std::u16string> Sorted(std::u16string_view q, bool sizes = false) { return FindOrdered(t_, q, sizes); }
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
