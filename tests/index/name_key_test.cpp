#include "index/name_key.h"

#include <gtest/gtest.h>

#include "index/index_types.h"

namespace nusk {
namespace {

std::u16string Key(std::u16string_view name, bool folder = false) { return MakeNameKey(name, folder); }

TEST(NameKeyTest, CasePositionsAreNotedAfterTheMark) {
  EXPECT_EQ(Key(u"ReadMe.TXT"),
            std::u16string(u"2readme.txt\x1F") + char16_t(1) + char16_t(5) + char16_t(8) + char16_t(9) + char16_t(10));
  EXPECT_EQ(Key(u"A", true), std::u16string(u"1a\x1F\x01"));
  EXPECT_EQ(Key(u"a", true), u"1a");  // all lower case: no case part
  EXPECT_EQ(Key(u"readme.txt"), u"2readme.txt");
}

TEST(NameKeyTest, FoldersSortBeforeFilesAndCaseVariantsAreAdjacent) {
  std::u16string folder_z = Key(u"zzz", true), file_a = Key(u"a.txt"), file_A = Key(u"A.txt"), file_ab = Key(u"ab.txt");
  EXPECT_LT(folder_z, file_a);
  EXPECT_NE(file_a, file_A);
  EXPECT_LT(file_a, file_A);   // the prefix (no case part) first
  EXPECT_LT(file_A, file_ab);  // 0x1F sorts below any printable character
}

TEST(NameKeyTest, RejectsNamesTheLengthByteCannotHold) {
  EncodedName e;
  EXPECT_FALSE(EncodeName(u"", false, &e));
  std::u16string max(255, u'X');
  ASSERT_TRUE(EncodeName(max, false, &e));
  EXPECT_EQ(e.length, 255);
  EXPECT_EQ(e.case_count, 255);
  EXPECT_EQ(e.key.size(), 1 + 255 + 1 + 255u);
  EXPECT_EQ(e.key.back(), char16_t(255));
  EXPECT_FALSE(EncodeName(max + u"x", false, &e));
}

TEST(NameKeyTest, BitsFollowTheLetterSignatureRules) {
  EXPECT_EQ(NameBits(u"a"), 1u << 0);
  EXPECT_EQ(NameBits(u"z"), 1u << 25);
  EXPECT_EQ(NameBits(u"._0123"), (1u << 26) | (1u << 27) | (1u << 28) | (1u << 29) | (1u << 30) | (1u << 31));
  EXPECT_EQ(NameBits(u"4"), 1u << 19);
  EXPECT_EQ(NameBits(u"-"), 1u << 12);
  EXPECT_EQ(NameBits(u" "), 1u << 31);
  EXPECT_EQ(NameBits(u"{\u00e9\u4e2d"), 0u);  // above 'z': no bit
  EncodedName e;
  ASSERT_TRUE(EncodeName(u"AB", false, &e));
  EXPECT_EQ(e.bits, 3u);  // computed over the lower-cased name
}

TEST(NameKeyTest, WideFlagFollowsTheLowerCasedName) {
  EncodedName e;
  ASSERT_TRUE(EncodeName(u"Caf\u00e9", false, &e));
  EXPECT_TRUE(e.wide);
  ASSERT_TRUE(EncodeName(u"Cafe", false, &e));
  EXPECT_FALSE(e.wide);
  // Turkish capital dotted I lower-cases to ASCII 'i' (simple mapping): the stored text
  // is narrow and its case position is noted.
  ASSERT_TRUE(EncodeName(u"\u0130stanbul", false, &e));
  EXPECT_FALSE(e.wide);
  EXPECT_EQ(e.key, std::u16string(u"2istanbul\x1F\x01"));
  // Dotless i has no lower-case form of its own: unchanged, no position.
  ASSERT_TRUE(EncodeName(u"\u0131", false, &e));
  EXPECT_EQ(e.key, u"2\u0131");
}

TEST(NameKeyTest, SharpSAndSurrogatePairsLowerCaseAsCodePoints) {
  EncodedName e;
  ASSERT_TRUE(EncodeName(u"STRA\u1E9EE", false, &e));
  EXPECT_EQ(e.key, std::u16string(u"2stra\u00DFe\x1F\x01\x02\x03\x04\x05\x06"));
  // U+10400 (Deseret capital long I) = D801 DC00 lowers to U+10428 = D801 DC28: only the
  // low unit (position 3) changes, so only it is noted.
  ASSERT_TRUE(EncodeName(u"x\U00010400", false, &e));
  EXPECT_EQ(e.key, std::u16string(u"2x\U00010428\x1F\x03"));
  EXPECT_EQ(e.length, 3);
}

TEST(NameKeyTest, RestoreCaseUndoesTheLowering) {
  const uint8_t readme[] = {1, 5, 8, 9, 10};
  EXPECT_EQ(RestoreCase(u"readme.txt", readme, 5), u"ReadMe.TXT");
  const uint8_t deseret[] = {3};
  EXPECT_EQ(RestoreCase(u"x\U00010428", deseret, 1), u"x\U00010400");
  // Characters whose lower-case form maps back elsewhere restore to the upper case of
  // the lower form: capital sharp s comes back as small sharp s (no simple upper case).
  const uint8_t sharp[] = {1};
  EXPECT_EQ(RestoreCase(u"\u00DF", sharp, 1), u"\u00DF");
  const uint8_t out_of_range[] = {0, 9};
  EXPECT_EQ(RestoreCase(u"abc", out_of_range, 2), u"abc");
}

TEST(IndexTypesTest, CompactTimeAndSizeForm) {
  // 1977-10-02 00:00 UTC is FILETIME 11,889,072,000 s after 1601: compact time 0.
  EXPECT_EQ(CompactTimeFromFileTime(11889072000ull * 10000000ull), 0u);
  EXPECT_EQ(FileTimeFromCompactTime(0), 11889072000ull * 10000000ull);
  // 2000-01-01 00:00 UTC = 946684800 s after 1970 = 12591158400 s after 1601.
  uint64_t ft2000 = 12591158400ull * 10000000ull;
  EXPECT_EQ(FileTimeFromCompactTime(CompactTimeFromFileTime(ft2000)), ft2000);
  EXPECT_EQ(CompactTimeFromFileTime(ft2000), 12591158400u - 11889072000u);

  EXPECT_EQ(SizeFormFromBytes(0x7FFFFFFF), 0x7FFFFFFFu);
  EXPECT_EQ(SizeFormFromBytes(0x80000000ull), 0u - 0x200000u);  // 2 GiB = 2 Mi KiB, negated
  EXPECT_EQ(BytesFromSizeForm(0u - 0x200000u), 0x80000000ull);
  EXPECT_EQ(BytesFromSizeForm(SizeFormFromBytes(1ull << 40)), 1ull << 40);
  EXPECT_EQ(BytesFromSizeForm(SizeFormFromBytes(2ull << 40)), 2ull << 40);  // the largest the form holds
  EXPECT_EQ(BytesFromSizeForm(SizeFormFromBytes(5ull << 40)), 2ull << 40);  // held at the ceiling, not wrapped
  EXPECT_EQ(BytesFromSizeForm(SizeFormFromBytes(~0ull)), 2ull << 40);
  EXPECT_EQ(BytesFromSizeForm(SizeFormFromBytes((1ull << 31) + 1000)), 1ull << 31);  // rounded down to KiB

  uint64_t ref = MakeRef(0x12345678, 25, 7, 0xBEEF);
  EXPECT_EQ(RefRecord(ref), 0x12345678u);
  EXPECT_EQ(RefDrive(ref), 25);
  EXPECT_EQ(RefMount(ref), 7);
  EXPECT_EQ(RefSequence(ref), 0xBEEF);
  EXPECT_EQ(ref, 0xBEEF071912345678ull);
}

}  // namespace
}  // namespace nusk
