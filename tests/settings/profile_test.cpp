// The profile-file contract. Natively it checks our reader/writer; in the Windows build
// the same expectations run against the system's profile functions under Wine.
#include "platform/profile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/env.h"
#include "tests/testing/test_env.h"
#include "util/utf.h"

namespace nusk {
namespace {

using testing::FaultInjectionEnv;
using testing::TempDir;

class ProfileTest : public ::testing::Test {
 protected:
  std::u16string Write(std::string_view bytes) { return dir_.WriteFile(u"p.ini", bytes); }
  std::u16string Get(const std::u16string& file, std::u16string_view section, std::u16string_view key,
                     size_t buffer = 255) {
    return profile_->GetString(file, section, key, u"DEF", buffer);
  }
  std::string Bytes(const std::u16string& file) {
    std::string bytes;
    EXPECT_TRUE(Env::Default()->ReadWholeFile(file, &bytes).ok());
    return bytes;
  }
  TempDir dir_;
  Profile* profile_ = Profile::Default();
};

TEST_F(ProfileTest, LinesAreTrimmedAndNamesCompareWithoutCase) {
  auto f = Write(
      "lead=1\r\n[ Sec ]\r\n  key  =  value  \r\nKEY=dup\r\nnoeq\r\n;c=comment\r\n#h=hash\r\n"
      "x = = y\r\nempty=\r\n e q = v \r\n[sec]\r\nmore=second section\r\n[a] junk\r\nj=1\r\n[b]]\r\nbb=1\r\n");
  EXPECT_EQ(Get(f, u"sec", u"key"), u"value");
  EXPECT_EQ(Get(f, u"SEC", u"Key"), u"value") << "first of two equal keys answers";
  EXPECT_EQ(Get(f, u" Sec ", u"key"), u"value");
  EXPECT_EQ(Get(f, u"sec", u"more"), u"DEF") << "a repeated section is not merged";
  EXPECT_EQ(Get(f, u"sec", u"noeq"), u"DEF") << "a line without '=' holds no key";
  EXPECT_EQ(Get(f, u"sec", u"c"), u"DEF") << "';' starts a comment";
  EXPECT_EQ(Get(f, u"sec", u"#h"), u"hash") << "'#' is not a comment";
  EXPECT_EQ(Get(f, u"sec", u"x"), u"= y") << "split at the first '='";
  EXPECT_EQ(Get(f, u"sec", u"empty"), u"") << "an empty value is not the default";
  EXPECT_EQ(Get(f, u"sec", u"e q"), u"v");
  EXPECT_EQ(Get(f, u"", u"lead"), u"1") << "lines before the first header";
  EXPECT_EQ(Get(f, u"sec", u"lead"), u"DEF");
  EXPECT_EQ(Get(f, u"a", u"j"), u"1") << "text after ']' is ignored";
  EXPECT_EQ(Get(f, u"b]", u"bb"), u"1") << "the name runs to the last ']'";
  EXPECT_EQ(Get(f, u"missing", u"key"), u"DEF");
}

TEST_F(ProfileTest, OneEnclosingPairOfMatchingQuotesIsStripped) {
  auto f = Write(
      "[s]\r\nq1=\"abc\"\r\nq2=\"abc\r\nq3='abc'\r\nq4=\"a\"b\"\r\nq5=\"\"\r\nq6=\"\r\nq7=  \"abc\"  \r\n"
      "q8=\"\"x\"\"\r\nm1=\"abc'\r\nm2='\r\n");
  EXPECT_EQ(Get(f, u"s", u"q1"), u"abc");
  EXPECT_EQ(Get(f, u"s", u"q2"), u"\"abc");
  EXPECT_EQ(Get(f, u"s", u"q3"), u"abc");
  EXPECT_EQ(Get(f, u"s", u"q4"), u"a\"b");
  EXPECT_EQ(Get(f, u"s", u"q5"), u"");
  EXPECT_EQ(Get(f, u"s", u"q6"), u"\"");
  EXPECT_EQ(Get(f, u"s", u"q7"), u"abc");
  EXPECT_EQ(Get(f, u"s", u"q8"), u"\"x\"") << "only one pair";
  EXPECT_EQ(Get(f, u"s", u"m1"), u"\"abc'");
  EXPECT_EQ(Get(f, u"s", u"m2"), u"'");
}

TEST_F(ProfileTest, ValuesAreCutToTheBufferAndLongLinesAreSafe) {
  std::string bytes = "[L]\r\nv=" + std::string(300, 'x') + "\r\n" + std::string(100000, 'k') + "=huge\r\nw=after\r\n";
  auto f = Write(bytes);
  EXPECT_EQ(Get(f, u"L", u"v"), std::u16string(254, u'x'));
  EXPECT_EQ(Get(f, u"L", u"v", 3), u"xx");
  EXPECT_EQ(Get(f, u"L", u"v", 1), u"");
  EXPECT_EQ(Get(f, u"L", u"w"), u"after");
}

TEST_F(ProfileTest, MissingFileGivesDefaultsAndNoSections) {
  std::u16string f = dir_.Sub(u"none.ini");
  EXPECT_EQ(Get(f, u"s", u"k"), u"DEF");
  EXPECT_TRUE(profile_->SectionNames(f).empty());
  unsigned char b[2] = {7, 7};
  EXPECT_FALSE(profile_->GetStruct(f, u"s", u"k", b, 2));
  EXPECT_FALSE(profile_->WriteString(dir_.Sub(u"no/such/folder.ini"), u"a", u"b", u"c"));
  EXPECT_TRUE(profile_->WriteString(f, u"s", u"k", std::nullopt));
  EXPECT_TRUE(profile_->WriteString(f, u"s", std::nullopt, std::nullopt));
  EXPECT_FALSE(Env::Default()->FileExists(f)) << "deleting from no file creates none";
}

TEST_F(ProfileTest, SectionNamesInFileOrderWithinTheBuffer) {
  auto f = Write("top=1\r\n[s]\r\n[Long]\r\n[]\r\nz=1\r\n[a]\r\n[s]\r\n");
  EXPECT_EQ(profile_->SectionNames(f), (std::vector<std::u16string>{u"s", u"Long", u"a", u"s"}));
  // "s\0Long\0" takes 7 characters; "a\0" would leave no room for the closing NUL.
  EXPECT_EQ(profile_->SectionNames(f, 9), (std::vector<std::u16string>{u"s", u"Long"}));
  EXPECT_TRUE(profile_->SectionNames(f, 2).empty());
}

TEST_F(ProfileTest, WritesReplaceAddAndDeleteWithoutTouchingOtherLines) {
  auto f = Write("[a]\r\n;keep me\r\nb=c\r\nb=c2\r\n\r\n[z]\r\ny=1\r\n");
  ASSERT_TRUE(profile_->WriteString(f, u"A", u"B", u"X"));
  ASSERT_TRUE(profile_->WriteString(f, u"a", u"d", u"e"));
  ASSERT_TRUE(profile_->WriteString(f, u"new", u"k", u"v"));
  EXPECT_EQ(Get(f, u"a", u"b"), u"X");
  EXPECT_EQ(Get(f, u"a", u"d"), u"e");
  EXPECT_EQ(Get(f, u"z", u"y"), u"1");
  EXPECT_EQ(Get(f, u"new", u"k"), u"v");
  EXPECT_NE(Bytes(f).find(";keep me"), std::string::npos);
  // Deleting removes the first copy; the second copy then answers.
  ASSERT_TRUE(profile_->WriteString(f, u"a", u"b", std::nullopt));
  EXPECT_EQ(Get(f, u"a", u"b"), u"c2");
  ASSERT_TRUE(profile_->WriteString(f, u"a", std::nullopt, std::nullopt));
  EXPECT_EQ(Get(f, u"a", u"d"), u"DEF");
  EXPECT_EQ(profile_->SectionNames(f), (std::vector<std::u16string>{u"z", u"new"}));
  // Written values are read back trimmed.
  ASSERT_TRUE(profile_->WriteString(f, u"z", u"sp", u"  spaced  "));
  EXPECT_EQ(Get(f, u"z", u"sp"), u"spaced");
}

// A file that ends in a lone carriage return, in no line break, or (UTF-16) in an odd
// byte: what is written after its last line starts a line of its own, aligned.
TEST_F(ProfileTest, WritesAfterALastLineWithoutLineFeed) {
  for (const std::string& bytes : {std::string("[a]\r\nx=1\r"), std::string("[a]\r\nx=1"),
                                   std::string("\xFF\xFE[\0a\0]\0\r\0\n\0x\0=\0"
                                               "1\0\r\0",
                                               20),
                                   std::string("\xFF\xFE[\0a\0]\0\r\0\n\0x\0=\0"
                                               "1\0\r\0\n\0z",
                                               23)}) {
    auto f = Write(bytes);
    ASSERT_TRUE(profile_->WriteString(f, u"new", u"k", u"v"));
    ASSERT_TRUE(profile_->WriteString(f, u"a", u"y", u"2"));
    EXPECT_EQ(Get(f, u"new", u"k"), u"v");
    EXPECT_EQ(Get(f, u"a", u"y"), u"2");
    EXPECT_EQ(Get(f, u"a", u"x"), u"1");
  }
}

// A UTF-8 file cannot hold a surrogate without its partner; writing one must not lose it.
TEST_F(ProfileTest, UnpairedSurrogateWrittenToAUtf8FileReadsBack) {
  if (Env::Default()->PathSeparator() == u'\\') GTEST_SKIP() << "the system's profile functions decide this";
  auto f = Write("\xEF\xBB\xBF[a]\r\nx=\xC3\xA9\r\n");
  const std::u16string odd = u"1\xDC00 2\xD800";
  ASSERT_TRUE(profile_->WriteString(f, u"a", u"y", std::u16string_view(odd)));
  EXPECT_EQ(Get(f, u"a", u"y"), odd);
  EXPECT_EQ(Get(f, u"a", u"x"), u"\u00E9");
}

TEST_F(ProfileTest, NewFilesAndConvertedAnsiFilesKeepEveryCharacter) {
  std::u16string f = dir_.Sub(u"fresh.ini");
  const std::u16string kJapanese = u"\u65E5\u672C\u8A9E \u00E9 \U0001F600";
  ASSERT_TRUE(profile_->WriteString(f, u"s", u"k", kJapanese));
  EXPECT_EQ(Get(f, u"s", u"k"), kJapanese);
  EXPECT_EQ(Bytes(f).substr(0, 2), "\xFF\xFE") << "new files are UTF-16LE";

  // An ANSI file with a Windows-1252 byte gets a character it cannot hold.
  auto a = dir_.WriteFile(u"ansi.ini", "[a]\r\nb=caf\xE9\r\n");
  EXPECT_EQ(Get(a, u"a", u"b"), u"caf\u00E9");
  ASSERT_TRUE(profile_->WriteString(a, u"a", u"c", kJapanese));
  EXPECT_EQ(Get(a, u"a", u"b"), u"caf\u00E9");
  EXPECT_EQ(Get(a, u"a", u"c"), kJapanese);
  // An ASCII write to an ANSI file keeps it 8-bit and its other bytes as they were.
  auto b = dir_.WriteFile(u"ansi2.ini", "[a]\r\nb=\xE9\r\nc=1\r\n");
  ASSERT_TRUE(profile_->WriteString(b, u"a", u"c", u"2"));
  EXPECT_EQ(Bytes(b).substr(0, 9), "[a]\r\nb=\xE9\r");
  EXPECT_EQ(Get(b, u"a", u"c"), u"2");
}

TEST_F(ProfileTest, ByteOrderMarkedFilesAreReadAndKeepTheirEncoding) {
  const char utf16[] = "\xFF\xFE[\0g\0]\0\r\0\n\0c\0=\0\xE9\0\xE5\x65\r\0\n\0";
  auto f = dir_.WriteFile(u"u16.ini", std::string_view(utf16, sizeof utf16 - 1));
  EXPECT_EQ(Get(f, u"G", u"C"), u"\u00E9\u65E5");
  ASSERT_TRUE(profile_->WriteString(f, u"g", u"n", u"\u672C"));
  EXPECT_EQ(Bytes(f).substr(0, 4), std::string("\xFF\xFE[\0", 4));
  EXPECT_EQ(Get(f, u"g", u"n"), u"\u672C");
  EXPECT_EQ(Get(f, u"g", u"c"), u"\u00E9\u65E5");

  auto u8 = dir_.WriteFile(u"u8.ini", "\xEF\xBB\xBF[g]\r\nc=\xC3\xA9t\xC3\xA9\r\n");
  EXPECT_EQ(Get(u8, u"g", u"c"), u"\u00E9t\u00E9");
  ASSERT_TRUE(profile_->WriteString(u8, u"g", u"d", u"\u65E5"));
  EXPECT_EQ(Bytes(u8).substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_EQ(Get(u8, u"g", u"d"), u"\u65E5");
}

TEST_F(ProfileTest, UndecodableBytesAreReadAsTheAnsiCodePage) {
  // Invalid UTF-8 in a file without a byte-order mark reads as Windows-1252.
  const char raw[] = "[g]\r\na=\xFF\xFE\x80\xC3\r\nb=ok\r\nn=1\0junk\r\nc=2\r\n";
  auto f = Write(std::string_view(raw, sizeof raw - 1));
  EXPECT_EQ(Get(f, u"g", u"a"), u"\u00FF\u00FE\u20AC\u00C3");
  EXPECT_EQ(Get(f, u"g", u"b"), u"ok");
  EXPECT_EQ(Get(f, u"g", u"n"), u"1") << "an embedded NUL ends the value";
  EXPECT_EQ(Get(f, u"g", u"c"), u"2");
  // A UTF-16 file cut in the middle of a character still reads.
  const char cut[] = "\xFF\xFE[\0g\0]\0\n\0k\0=\0v\0\n\0x";
  auto odd = dir_.WriteFile(u"odd.ini", std::string_view(cut, sizeof cut - 1));
  EXPECT_EQ(Get(odd, u"g", u"k"), u"v");
}

TEST_F(ProfileTest, StructsUseHexWithAChecksumByte) {
  auto f = dir_.Sub(u"s.ini");
  const unsigned char data[4] = {0x01, 0xAB, 0xFF, 0x10};
  ASSERT_TRUE(profile_->WriteStruct(f, u"U", u"st", data, 4));
  // 0x01 + 0xAB + 0xFF + 0x10 = 0x1BB: checksum byte BB.
  EXPECT_EQ(Get(f, u"U", u"st"), u"01ABFF10BB");
  unsigned char back[4] = {};
  ASSERT_TRUE(profile_->GetStruct(f, u"U", u"st", back, 4));
  EXPECT_EQ(0, memcmp(back, data, 4));
  EXPECT_FALSE(profile_->GetStruct(f, u"U", u"st", back, 3));
  EXPECT_FALSE(profile_->GetStruct(f, u"U", u"st", back, 5));

  ASSERT_TRUE(profile_->WriteString(f, u"U", u"low", u"01abff10bb"));
  ASSERT_TRUE(profile_->WriteString(f, u"U", u"bad", u"01ABFF10BC"));
  ASSERT_TRUE(profile_->WriteString(f, u"U", u"quoted", u"\"01ABFF10BB\""));
  EXPECT_TRUE(profile_->GetStruct(f, u"U", u"low", back, 4));
  unsigned char untouched[4] = {9, 9, 9, 9};
  EXPECT_FALSE(profile_->GetStruct(f, u"U", u"bad", untouched, 4));
  EXPECT_EQ(untouched[0], 9) << "a failed read leaves the caller's buffer alone";
  EXPECT_FALSE(profile_->GetStruct(f, u"U", u"quoted", back, 4));

  ASSERT_TRUE(profile_->WriteStruct(f, u"U", u"zero", data, 0));
  EXPECT_EQ(Get(f, u"U", u"zero"), u"00");
  EXPECT_TRUE(profile_->GetStruct(f, u"U", u"zero", back, 0));
}

TEST_F(ProfileTest, FailedWriteKeepsThePreviousFile) {
  const std::string before = "[a]\r\nb=c\r\n";
  auto f = Write(before);
  FaultInjectionEnv faulty;
  auto profile = Profile::Create(&faulty);
  faulty.fail_writes_after = 0;
  EXPECT_FALSE(profile->WriteString(f, u"a", u"b", u"new"));
  EXPECT_FALSE(profile->WriteStruct(f, u"a", u"s", "xy", 2));
  EXPECT_EQ(Bytes(f), before);
  faulty.fail_writes_after = -1;
  faulty.fail_renames_after = 0;
  EXPECT_FALSE(profile->WriteString(f, u"a", std::nullopt, std::nullopt));
  EXPECT_EQ(Bytes(f), before);
  // No temporary files are left behind.
  int files = 0;
  Env::Default()->ListFolder(dir_.path(), [&](const DirEntry&) { return ++files, true; });
  EXPECT_EQ(files, 1);
  faulty.fail_renames_after = -1;
  EXPECT_TRUE(profile->WriteString(f, u"a", u"b", u"new"));
  EXPECT_EQ(Get(f, u"a", u"b"), u"new");
}

TEST_F(ProfileTest, ConcurrentWritersLoseNoKey) {
  std::u16string f = dir_.Sub(u"c.ini");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 10; ++i) {
        profile_->WriteString(f, u"s", U16("k" + std::to_string(t) + "_" + std::to_string(i)), u"v");
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < 4; ++t) {
    for (int i = 0; i < 10; ++i) EXPECT_EQ(Get(f, u"s", U16("k" + std::to_string(t) + "_" + std::to_string(i))), u"v");
  }
}

}  // namespace
}  // namespace nusk
