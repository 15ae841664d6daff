// Exclusion settings as read from the settings file, pattern matching, and the list of
// ignored folders kept there.
#include <gtest/gtest.h>

#include "platform/profile.h"
#include "scan/exclusion.h"
#include "tests/testing/test_env.h"

namespace nusk {
namespace {

class ExclusionSettingsTest : public ::testing::Test {
 protected:
  std::u16string Ini(std::string_view text) { return dir_.WriteFile(u"nusk.ini", text); }
  testing::TempDir dir_;
  Profile* profile_ = Profile::Default();
};

TEST_F(ExclusionSettingsTest, PatternsFromExcludeNames) {
  std::u16string ini =
      Ini("[Options]\r\nExcludeHidden=1\r\nExcludeByName=1\r\n"
          "ExcludeNames=*.tmp:Temp\\:~*:\"My Files\\\":/:x*y\r\n");
  ExclusionSettings s;
  ReadExclusionSettings(profile_, ini, nullptr, &s);
  EXPECT_TRUE(s.exclude_hidden);
  ASSERT_TRUE(s.exclude_by_name);
  EXPECT_TRUE(MatchesFilePattern(s, u"report.TMP"));
  EXPECT_TRUE(MatchesFilePattern(s, u".tmp"));
  EXPECT_FALSE(MatchesFilePattern(s, u"tmp"));
  EXPECT_FALSE(MatchesFilePattern(s, u"report.tmpx"));
  EXPECT_TRUE(MatchesFilePattern(s, u"~lock"));
  EXPECT_FALSE(MatchesFilePattern(s, u"a~lock"));
  EXPECT_TRUE(MatchesFolderPattern(s, u"temp"));
  EXPECT_TRUE(MatchesFolderPattern(s, u"TEMP"));
  EXPECT_FALSE(MatchesFolderPattern(s, u"temp2"));
  EXPECT_FALSE(MatchesFilePattern(s, u"temp"));       // folder pattern only
  EXPECT_TRUE(MatchesFolderPattern(s, u"my files"));  // quoted item keeps its space
  EXPECT_FALSE(MatchesFolderPattern(s, u"My"));
  // "x*y" has no leading or trailing star: it is an exact name, star included.
  EXPECT_TRUE(MatchesFilePattern(s, u"x*y"));
  EXPECT_FALSE(MatchesFilePattern(s, u"xay"));
  // A lone slash is dropped rather than becoming a pattern that matches every folder.
  EXPECT_EQ(s.folder_patterns.size(), 2u);
  // Non-ASCII letters compare exactly.
  ExclusionSettings u;
  u.exclude_by_name = true;
  ParseExcludeNames(u"\u00c9t\u00e9", &u);
  EXPECT_TRUE(MatchesFilePattern(u, u"\u00c9T\u00e9"));   // ASCII T folds
  EXPECT_FALSE(MatchesFilePattern(u, u"\u00e9t\u00e9"));  // É does not
}

TEST_F(ExclusionSettingsTest, SwitchesOffWhenMissingOrNotOne) {
  ExclusionSettings s;
  ReadExclusionSettings(profile_, Ini("[Options]\r\nExcludeHidden=yes\r\nExcludeByName=2\r\nExcludeNames=*.tmp\r\n"),
                        nullptr, &s);
  EXPECT_FALSE(s.exclude_hidden);
  EXPECT_FALSE(s.exclude_by_name);
  EXPECT_FALSE(MatchesFilePattern(s, u"a.tmp"));  // names are not read when switched off
}

TEST_F(ExclusionSettingsTest, VolumeStates) {
  auto fixed_ntfs = [](char16_t d) { return d == u'C' || d == u'E'; };
  ExclusionSettings s;
  ReadExclusionSettings(profile_, Ini("[Options]\r\nVolumeStates= C1D0 \r\n"), fixed_ntfs, &s);
  EXPECT_EQ(s.volume_states['C' - 'A'], 1);
  EXPECT_EQ(s.volume_states['D' - 'A'], 0);
  EXPECT_EQ(s.volume_states['E' - 'A'], 255);
  VolumeStates states{};
  ParseVolumeStates(u"Z", fixed_ntfs, &states);
  EXPECT_EQ(states['Z' - 'A'], 1);  // a letter at the end counts as 1
  ParseVolumeStates(u"", fixed_ntfs, &states);
  EXPECT_EQ(states['C' - 'A'], 1);
  EXPECT_EQ(states['E' - 'A'], 1);
  EXPECT_EQ(states['D' - 'A'], 0);
}

TEST_F(ExclusionSettingsTest, IgnoredFoldersListIsSortedPrunedAndShrinks) {
  std::u16string ini =
      Ini("[NuskIgnoreFolders]\r\nCount=3\r\nItem_1=D:\\keep\r\nItem_2=C:\\gone\r\nItem_3=C:\\still\r\n");
  std::array<bool, 26> built{};
  built['C' - 'A'] = true;
  auto marker = [](const std::u16string& folder) { return folder == u"C:\\still"; };
  ASSERT_TRUE(StoreIgnoredFolders(profile_, ini, built, {u"C:\\new", u"C:\\still"}, marker));
  std::vector<std::u16string> got = ReadIgnoredFolders(profile_, ini);
  // C:\gone lost its marker on a built drive; D: was not built, so D:\keep stays.
  EXPECT_EQ(got, (std::vector<std::u16string>{u"C:\\new", u"C:\\still", u"D:\\keep"}));

  // Fewer folders than stored: stale keys must not survive beyond the new count.
  ASSERT_TRUE(StoreIgnoredFolders(profile_, ini, built, {}, [](const std::u16string&) { return false; }));
  EXPECT_EQ(ReadIgnoredFolders(profile_, ini), (std::vector<std::u16string>{u"D:\\keep"}));
  EXPECT_EQ(profile_->GetString(ini, u"NuskIgnoreFolders", u"Item_2", u"absent"), u"absent");
}

}  // namespace
}  // namespace nusk
