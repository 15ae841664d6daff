// MD5, URL and form decoding, path normalisation, dates and content types.
#include <gtest/gtest.h>

#include "web/http_text.h"
#include "web/md5.h"

namespace nusk::http {
namespace {

TEST(Md5Test, Rfc1321Vectors) {
  EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
            "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5Test, PiecewiseUpdatesMatchOneShot) {
  // Splits across the 64-byte block boundary and the 56-byte padding threshold.
  std::string text(200, 'x');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
  for (size_t cut : {1u, 55u, 56u, 63u, 64u, 65u, 120u}) {
    Md5 md5;
    md5.Update(std::string_view(text).substr(0, cut));
    md5.Update(std::string_view(text).substr(cut));
    std::string digest = md5.Digest();
    std::string hex;
    for (unsigned char c : digest) {
      static const char kHex[] = "0123456789abcdef";
      hex += kHex[c >> 4];
      hex += kHex[c & 15];
    }
    EXPECT_EQ(hex, Md5Hex(text)) << "cut at " << cut;
  }
}

TEST(UrlTest, DecodeEscapesPlusAndControls) {
  EXPECT_EQ(UrlDecode("a%20b+c", false, true), "a b+c");
  EXPECT_EQ(UrlDecode("a%20b+c", true, true), "a b c");
  EXPECT_EQ(UrlDecode("%C3%A9", false, true), "\xC3\xA9");
  EXPECT_FALSE(UrlDecode("%", false, true));
  EXPECT_FALSE(UrlDecode("%4", false, true));
  EXPECT_FALSE(UrlDecode("%zz", false, true));
  EXPECT_FALSE(UrlDecode("a%0d%0aSet-Cookie:x", false, true));
  EXPECT_FALSE(UrlDecode("a%00b", false, true));
  EXPECT_EQ(UrlDecode("a%00b", false, false), std::string("a\0b", 3));
}

TEST(UrlTest, NormalizeKeepsPathsInsideTheRoot) {
  EXPECT_EQ(NormalizePath("/"), "/");
  EXPECT_EQ(NormalizePath("/C:/Users/a.txt"), "/C:/Users/a.txt");
  EXPECT_EQ(NormalizePath("//C:\\\\Users///a.txt"), "/C:/Users/a.txt");
  EXPECT_EQ(NormalizePath("/C:/Users/"), "/C:/Users/");
  EXPECT_EQ(NormalizePath("/C:/Users/./x/../a.txt"), "/C:/Users/a.txt");
  EXPECT_EQ(NormalizePath("/C:/a/.."), "/C:/");
  EXPECT_EQ(NormalizePath("/a/b/c/../../d"), "/a/d");
  EXPECT_EQ(NormalizePath("/..."), "/...");  // a name, not a parent reference
  EXPECT_FALSE(NormalizePath("/.."));
  EXPECT_FALSE(NormalizePath("/C:/../../etc/passwd"));
  EXPECT_FALSE(NormalizePath("/C:\\..\\..\\Windows"));
  EXPECT_FALSE(NormalizePath("C:/x"));
  EXPECT_FALSE(NormalizePath(""));
}

TEST(UrlTest, EncodePathEscapesWhatAHeaderCannotCarry) {
  EXPECT_EQ(EncodePath("/C:/My Files/\xC3\xA9\"%"), "/C:/My%20Files/%C3%A9%22%25");
  EXPECT_EQ(EncodePath("/a-b_c.d~/(1)"), "/a-b_c.d~/(1)");
}

TEST(GetVarTest, FindsNamesOnlyAtPairStarts) {
  std::string v;
  EXPECT_EQ(GetVar("x=1&q=a+b%21", "q", &v), 4);
  EXPECT_EQ(v, "a b!");
  EXPECT_EQ(GetVar("xq=1", "q", &v), -1);
  EXPECT_EQ(v, "");
  EXPECT_EQ(GetVar("Q=up", "q", &v), 2);
  EXPECT_EQ(v, "up");
  EXPECT_EQ(GetVar("q=", "q", &v), 0);
  EXPECT_EQ(GetVar("from=10&to=200", "to", &v), 3);
  EXPECT_EQ(v, "200");
  EXPECT_EQ(GetVar("qq=1&q=2", "q", &v), 1);
  EXPECT_EQ(v, "2");
  EXPECT_EQ(GetVar("", "q", &v), -1);
  EXPECT_EQ(GetVar("q=%zz", "q", &v), -3);
}

TEST(GetVarTest, ValueMustFitTheBuffer) {
  std::string v;
  EXPECT_EQ(GetVar("q=" + std::string(259, 'a'), "q", &v), 259);
  EXPECT_EQ(GetVar("q=" + std::string(260, 'a'), "q", &v), -2);
  EXPECT_EQ(v, "");
  EXPECT_EQ(GetVar("q=" + std::string(300, 'a'), "q", &v, 1000), 300);
}

// The common phrases are pinned by the server's exact answers; these are the rest.
TEST(HttpTextTest, ReasonPhrases) {
  EXPECT_STREQ(ReasonPhrase(301), "Moved Permanently");
  EXPECT_STREQ(ReasonPhrase(401), "Unauthorized");
  EXPECT_STREQ(ReasonPhrase(423), "Locked");
  EXPECT_STREQ(ReasonPhrase(299), "Server Error");
}

TEST(HttpTextTest, ContentTypesByExtension) {
  EXPECT_EQ(ContentTypeFor("C:/docs/report.PDF"), "application/pdf");
  EXPECT_EQ(ContentTypeFor("a.tar.gz"), "application/x-gunzip");
  EXPECT_EQ(ContentTypeFor("README"), "text/plain");
  EXPECT_EQ(ContentTypeFor("archive.7z"), "text/plain");
}

TEST(HttpTextTest, DatesRoundTripInImfFixdateForm) {
  EXPECT_EQ(FormatHttpDate(784111777), "Sun, 06 Nov 1994 08:49:37 GMT");
  EXPECT_EQ(FormatHttpDate(0), "Thu, 01 Jan 1970 00:00:00 GMT");
  EXPECT_EQ(FormatHttpDate(951782400), "Tue, 29 Feb 2000 00:00:00 GMT");
  EXPECT_EQ(ParseHttpDate("Sun, 06 Nov 1994 08:49:37 GMT"), 784111777);
  EXPECT_EQ(ParseHttpDate("Tue, 29 Feb 2000 00:00:00 GMT"), 951782400);
  EXPECT_FALSE(ParseHttpDate("Sunday, 06-Nov-94 08:49:37 GMT"));
  EXPECT_FALSE(ParseHttpDate("Sun, 06 Foo 1994 08:49:37 GMT"));
  EXPECT_FALSE(ParseHttpDate("garbage"));
}

TEST(HttpTextTest, CaseInsensitiveAndConstantTimeCompare) {
  EXPECT_TRUE(EqualsIgnoreCase("Keep-Alive", "keep-alive"));
  EXPECT_FALSE(EqualsIgnoreCase("keep-alive", "keep-alivex"));
  EXPECT_TRUE(StartsWithIgnoreCase("digest username", "Digest "));
  EXPECT_TRUE(ConstantTimeEquals("abc", "abc"));
  EXPECT_FALSE(ConstantTimeEquals("abc", "abd"));
  EXPECT_FALSE(ConstantTimeEquals("abc", "ab"));
}

}  // namespace
}  // namespace nusk::http
