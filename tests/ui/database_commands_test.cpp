// The window's database commands: which clean runs, the hashing tool's parameters, the
// same-content search and when a query needs the hash tables.
#include <gtest/gtest.h>

#include "ui/database_commands.h"
#include "util/utf.h"

namespace nusk {
namespace {

TEST(DatabaseCommandsTest, CleanOfTheOnlyDriveCleansEverything) {
  struct Case {
    char16_t letter;
    std::u16string_view drives;
    CleanScope want;
  } cases[] = {
      {0, u"CD", CleanScope::kWholeDatabase},   {0, u"", CleanScope::kWholeDatabase},
      {u'C', u"C", CleanScope::kWholeDatabase}, {u'c', u"C", CleanScope::kWholeDatabase},
      {u'C', u"CD", CleanScope::kOneDrive},     {u'D', u"C", CleanScope::kOneDrive},
      {u'C', u"", CleanScope::kOneDrive},       {u'C', u"cC", CleanScope::kWholeDatabase},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecideCleanScope(c.letter, c.drives), c.want) << int(c.letter) << " in " << ToUtf8(c.drives);
  }
}

TEST(DatabaseCommandsTest, HasherParametersKeepTheClosingQuote) {
  EXPECT_EQ(HasherParameters(u"C:\\Users\\a b\\Nusk\\"), u" --dbdir \"C:\\Users\\a b\\Nusk\\\\\"");
  EXPECT_EQ(HasherParameters(u"D:\\db"), u" --dbdir \"D:\\db\"");
  EXPECT_EQ(HasherParameters(u"\\\\server\\share\\"), u" --dbdir \"\\\\server\\share\\\\\"");
}

TEST(DatabaseCommandsTest, SameContentQueryAndHashNeeds) {
  EXPECT_EQ(SameContentQuery(0xF0000001u), u"/hash:F0000001");
  EXPECT_EQ(SameContentQuery(0x2Au), u"/hash:0000002A");
  for (std::u16string_view q : {u"/dup:2", u"a /HASH:12", u"@pictures", u"x /Dup:"}) {
    EXPECT_TRUE(QueryNeedsHashes(q)) << ToUtf8(q);
  }
  for (std::u16string_view q : {u"", u"dup hash", u"/size:>1", u"c:\\dup\\"}) {
    EXPECT_FALSE(QueryNeedsHashes(q)) << ToUtf8(q);
  }
  EXPECT_EQ(IgnoredFoldersText({u"C:\\a", u"D:\\b c"}, u"(none)"), u"C:\\a\r\nD:\\b c");
  EXPECT_EQ(IgnoredFoldersText({}, u"(none)"), u"(none)");
}

}  // namespace
}  // namespace nusk
