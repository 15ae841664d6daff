#include "util/casemap.h"

#include <gtest/gtest.h>

#include "util/utf.h"

namespace nusk {
namespace {

TEST(CaseMap, MapsLettersOfEveryScriptTheSameOnEveryPlatform) {
  EXPECT_EQ(ToLower(u"README.MD"), u"readme.md");
  EXPECT_EQ(ToLower(u"ÄÖÜ ÉÈ Ω Ж"), u"äöü éè ω ж");
  EXPECT_EQ(ToUpper(u"straße"), u"STRAßE");  // ß has no simple upper case
  EXPECT_EQ(ToLower(u"\u1E9E"), u"\u00DF");  // capital sharp s lowers to ß
  // Turkish dotted capital I lowers to plain i; dotless i uppers to plain I.
  EXPECT_EQ(ToLower(u"\u0130"), u"i");
  EXPECT_EQ(ToUpper(u"\u0131"), u"I");
  EXPECT_EQ(ToLower(u"I"), u"i");
  // Fullwidth Latin and digits/punctuation.
  EXPECT_EQ(ToLower(u"\uFF21"), u"\uFF41");
  EXPECT_EQ(ToLower(u"123-_.~"), u"123-_.~");
}

TEST(CaseMap, SurrogatePairsMapAsOneCodePointAndKeepTheirLength) {
  // Deseret capital long I (U+10400) lowers to U+10428.
  std::u16string upper = FromUtf8("\xF0\x90\x90\x80x");
  std::u16string lower = ToLower(upper);
  ASSERT_EQ(lower.size(), upper.size());
  EXPECT_EQ(ToUtf8(lower), "\xF0\x90\x90\xA8x");
  EXPECT_EQ(ToUpper(lower), FromUtf8("\xF0\x90\x90\x80X"));
  // A lone surrogate is left alone rather than mangled.
  std::u16string lone =
      u"a\xD800"
      u"B";
  EXPECT_EQ(ToLower(lone),
            u"a\xD800"
            u"b");
}

TEST(CaseMap, CompareNoCaseOrdersByLowerCase) {
  EXPECT_EQ(CompareNoCase(u"Options", u"OPTIONS"), 0);
  EXPECT_LT(CompareNoCase(u"abc", u"ABD"), 0);
  EXPECT_GT(CompareNoCase(u"abcd", u"ABC"), 0);
  EXPECT_TRUE(EqualsNoCase(u"NuskHome", u"nuskhome"));
  EXPECT_FALSE(EqualsNoCase(u"Nusk", u"Nusk2"));
}

TEST(Utf, RoundTripsAndReplacesMalformedInput) {
  std::u16string text = u"a\u00E9\u65E5" + FromUtf8("\xF0\x9F\x98\x80");
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
  EXPECT_EQ(ToUtf8(text).size(), 1u + 2u + 3u + 4u);
  EXPECT_EQ(FromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD");            // overlong '/'
  EXPECT_EQ(FromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
  EXPECT_EQ(FromUtf8("ab\xE2\x82"), u"ab\uFFFD\uFFFD");        // truncated sequence
  EXPECT_EQ(ToUtf8(u"\xDC00"), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace nusk
