// Value syntaxes of the switches, and named searches in the settings file.
#include <gtest/gtest.h>

#include "platform/profile.h"
#include "search/named_searches.h"
#include "search/query_ranges.h"
#include "tests/testing/test_env.h"

namespace nusk {
namespace {

TEST(SizeRangeTest, BoundsUnitsAndCarriedUnit) {
  const auto r = [](std::u16string_view v) {
    const SizeRange s = ParseSizeRange(v);
    return std::make_pair(s.lower, s.upper);
  };
  EXPECT_EQ(r(u"10mb"), std::make_pair(uint64_t{10} << 20, UINT64_MAX));
  EXPECT_EQ(r(u"-1k"), std::make_pair(uint64_t{0}, uint64_t{1024}));
  EXPECT_EQ(r(u"1-10mb"), std::make_pair(uint64_t{1} << 20, uint64_t{10} << 20));  // unit carried
  EXPECT_EQ(r(u"1k-10"), std::make_pair(uint64_t{1024}, uint64_t{10}));            // not carried back
  EXPECT_EQ(r(u"1.5g"), std::make_pair(uint64_t{3} << 29, UINT64_MAX));
  EXPECT_EQ(r(u"100b"), std::make_pair(uint64_t{100}, UINT64_MAX));
  EXPECT_EQ(r(u"5-0"), std::make_pair(uint64_t{5}, UINT64_MAX));  // upper 0: none
  EXPECT_EQ(r(u"x"), std::make_pair(uint64_t{0}, UINT64_MAX));
  // Out-of-range numbers saturate instead of overflowing.
  EXPECT_EQ(r(u"1e300g").first, UINT64_MAX);
  EXPECT_EQ(r(u"nan").first, 0u);
  EXPECT_EQ(r(u"inf").first, 0u);  // the trailing letter is a unit: "in" reads 0
}

TEST(DateRangeTest, FormsAndWholeDays) {
  const Today today{2014, 6, 15, false};
  const uint32_t jan1 = UnixToCompactTime(1388534400);   // 2014-01-01 00:00 UTC
  const uint32_t dec31 = UnixToCompactTime(1419984000);  // 2014-12-31 00:00 UTC
  DateRange d = ParseDateRange(u"20140101-20141231", today);
  EXPECT_EQ(d.lower, jan1);
  EXPECT_EQ(d.upper, dec31);
  EXPECT_EQ(d.end, dec31 + 86400);
  EXPECT_EQ(ParseDateRange(u"0101", today).lower, jan1);    // current year
  EXPECT_EQ(ParseDateRange(u"140101", today).lower, jan1);  // yymmdd
  EXPECT_EQ(ParseDateRange(u"101", today).lower, jan1);     // month digit missing
  EXPECT_EQ(ParseDateRange(u"0101", today).end, 0xFFFFFFFFu);
  EXPECT_EQ(ParseDateRange(u"12", today).lower, 0u);  // too short: invalid
  // Day and month out of range keep today's.
  EXPECT_EQ(ParseDateRange(u"1399", today).lower, UnixToCompactTime(1402790400));  // 2014-06-15
  // Before the first representable day: nothing can be older.
  EXPECT_EQ(ParseDateRange(u"-19700101", today).end, 0u);
  EXPECT_EQ(ParseDateRange(u"19700101", today).lower, 0u);
}

TEST(CountAndHashTest, Values) {
  EXPECT_EQ(ParseCountRange(u"1").lower, 0);
  EXPECT_EQ(ParseCountRange(u"2-3").lower, 2);
  EXPECT_EQ(ParseCountRange(u"2-3").upper, 3);
  EXPECT_EQ(ParseCountRange(u"2").upper, 2147483647);
  EXPECT_EQ(ParseCountRange(u"99999999999").lower, 2147483647);
  EXPECT_EQ(ParseHashValue(u"F0000001"), 0xF0000001u);
  EXPECT_EQ(ParseHashValue(u"1fz"), 0x1Fu);
  EXPECT_EQ(ParseHashValue(u"zz"), 0u);
  EXPECT_EQ(ParseHashValue(u"123456789"), 0xFFFFFFFFu);
}

class NamedSearchTest : public ::testing::Test {
 protected:
  testing::TempDir dir_;
  std::u16string ini_ = dir_.Sub(u"nusk.ini");
  NamedSearches named_{Profile::Default(), dir_.Sub(u"nusk.ini")};
};

TEST_F(NamedSearchTest, DefaultsWrittenOnceAndRestoredByMinusOne) {
  // Before anything is written the built-in set answers, and reading writes nothing.
  EXPECT_EQ(named_.Lookup(u"Office"), u"/f *.doc|*.xls|*.ppt|*.docx|*.xlsx|*.pptx");
  EXPECT_FALSE(Env::Default()->FileExists(ini_));
  const auto names = named_.List();
  ASSERT_EQ(names.size(), 11u);
  EXPECT_EQ(names[0], u"File");
  EXPECT_EQ(names[10], u"Text");
  EXPECT_EQ(named_.Lookup(u"office"), u"/f *.doc|*.xls|*.ppt|*.docx|*.xlsx|*.pptx");
  EXPECT_EQ(named_.Lookup(u"OFFICE"), named_.Lookup(u"Office"));
  ASSERT_TRUE(named_.FromText(u"Foo=/f *.foo\r\n\r\n Bar = *.bar \n", nullptr));
  EXPECT_EQ(named_.List(), (std::vector<std::u16string>{u"Foo", u"Bar"}));
  EXPECT_EQ(named_.Lookup(u"bar"), u"*.bar");
  EXPECT_EQ(named_.ToText(), u"Foo=/f *.foo\r\nBar=*.bar\r\n");
  Profile::Default()->WriteString(ini_, u"NamedSearch", u"Count", std::u16string_view(u"-1"));
  EXPECT_EQ(named_.List().size(), 11u);
}

TEST_F(NamedSearchTest, SettingsThatCannotBeWrittenStillGiveTheBuiltInSet) {
  // A folder where the settings file should be: every write fails, every read is empty.
  ASSERT_TRUE(Env::Default()->CreateFolder(ini_).ok());
  EXPECT_FALSE(named_.EnsureDefaults());
  EXPECT_EQ(named_.Lookup(u"text"), u"/f *.txt|*.html|*.xml|*.csv");
  const auto names = named_.List();
  ASSERT_EQ(names.size(), 11u);
  EXPECT_EQ(names[1], u"Folder");
  EXPECT_EQ(named_.Lookup(u"NoSuchName"), u"");
}

// Values the profile reader would alter (enclosing quotes, as in a phrase search) come
// back from the editor exactly as typed, and so does the query they stand for.
TEST_F(NamedSearchTest, EditorKeepsQuotedFragments) {
  ASSERT_TRUE(named_.FromText(u"Mine=\"my file\"\nBoth=\"a\" \"b\"\nQ=\"\n", nullptr));
  EXPECT_EQ(named_.Lookup(u"mine"), u"\"my file\"");
  EXPECT_EQ(named_.Lookup(u"both"), u"\"a\" \"b\"");
  EXPECT_EQ(named_.Lookup(u"q"), u"\"");
  EXPECT_EQ(named_.ToText(), u"Mine=\"my file\"\r\nBoth=\"a\" \"b\"\r\nQ=\"\r\n");
}

TEST_F(NamedSearchTest, BadEditorTextChangesNothing) {
  ASSERT_TRUE(named_.FromText(u"book=mine\nBook=/f *.pdf", nullptr));
  EXPECT_EQ(named_.Lookup(u"BOOK"), u"mine");  // first entry wins
  std::u16string bad;
  EXPECT_FALSE(named_.FromText(u"A=1\n=x\n", &bad));
  EXPECT_EQ(bad, u"=x");
  EXPECT_FALSE(named_.FromText(u"nothing", &bad));
  EXPECT_EQ(bad, u"nothing");
  EXPECT_EQ(named_.Lookup(u"book"), u"mine");
  EXPECT_EQ(named_.Lookup(u"A"), u"");
  EXPECT_EQ(named_.Lookup(u""), u"");
}

}  // namespace
}  // namespace nusk
