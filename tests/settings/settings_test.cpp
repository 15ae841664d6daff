// The settings primitives, the key table's rules and the list sections, on a temp file.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "settings/numbered_list.h"
#include "settings/process_state.h"
#include "settings/recent_list.h"
#include "settings/setting_keys.h"
#include "settings/settings_file.h"
#include "tests/testing/test_env.h"

namespace nusk {
namespace {

using testing::TempDir;

class SettingsTest : public ::testing::Test {
 protected:
  SettingsFile FileWith(std::string_view bytes) { return SettingsFile(dir_.WriteFile(u"nusk.ini", bytes)); }
  TempDir dir_;
  SettingsFile file_{dir_.Sub(u"nusk.ini")};
};

TEST_F(SettingsTest, TextReadsBackExactlyAsWritten) {
  for (std::u16string_view value :
       {u"\"quoted\"", u"\"\"", u"'single'", u"  padded  ", u"\"", u"a\"b\"", u"plain", u"\"half", u"\u65E5\u672C"}) {
    ASSERT_TRUE(file_.WriteText(u"UIState", u"GotoRow", value));
    EXPECT_EQ(file_.ReadText(u"UIState", u"GotoRow"), value);
  }
  EXPECT_EQ(file_.ReadText(u"UIState", u"missing"), u"");
}

TEST_F(SettingsTest, WritesThatWouldBreakTheFileAreRefused) {
  ASSERT_TRUE(file_.WriteText(u"Options", u"keep", u"1"));
  EXPECT_FALSE(file_.WriteText(u"Options", u"k", u"a\r\nb=c"));
  EXPECT_FALSE(file_.WriteText(u"Options", u"x=y", u"v"));
  EXPECT_FALSE(file_.WriteText(u"Options", u"[Evil]", u"v"));
  EXPECT_FALSE(file_.WriteText(u"Options", u";k", u"v"));
  EXPECT_FALSE(file_.WriteText(u"Opt\nions", u"k", u"v"));
  EXPECT_FALSE(file_.WriteText(u"Options", u"", u"v"));
  EXPECT_FALSE(file_.HasKey(u"Options", u"b"));
  EXPECT_FALSE(file_.HasKey(u"Options", u"x"));
  EXPECT_EQ(file_.ListSections(), std::vector<std::u16string>{u"Options"});
  EXPECT_EQ(file_.ReadText(u"Options", u"keep"), u"1");
}

TEST_F(SettingsTest, IntegersFlagsAndReals) {
  auto f = FileWith(
      "[Options]\r\na=  -42xyz\r\nb=word\r\nc=\r\nbig=99999999999999999999\r\nneg=-9223372036854775808\r\n"
      "f1=1\r\nf2=2\r\nfw=yes\r\nf0=0\r\nfe=\r\nr1= 1.5\r\nr2=abc\r\nr3=-2.25e1x\r\n[Global]\r\ng=7\r\n");
  EXPECT_EQ(f.ReadInteger(u"Options", u"a"), -42);
  EXPECT_EQ(f.ReadInteger(u"Options", u"b"), 0);
  EXPECT_EQ(f.ReadInteger(u"Options", u"c"), 0);
  EXPECT_EQ(f.ReadInteger(u"Options", u"big"), INT64_MAX);
  EXPECT_EQ(f.ReadInteger(u"Options", u"neg"), INT64_MIN);
  EXPECT_EQ(f.ReadInteger(u"", u"g"), 7) << "an empty section is Global";
  EXPECT_TRUE(f.ReadFlag(u"f1", false));
  EXPECT_FALSE(f.ReadFlag(u"f2", true)) << "only 1 is on";
  EXPECT_FALSE(f.ReadFlag(u"fw", true)) << "a damaged flag reads as off";
  EXPECT_FALSE(f.ReadFlag(u"f0", true));
  EXPECT_TRUE(f.ReadFlag(u"fe", true)) << "empty gives the default";
  EXPECT_TRUE(f.ReadFlag(u"absent", true));
  EXPECT_DOUBLE_EQ(f.ReadReal(u"Options", u"r1"), 1.5);
  EXPECT_DOUBLE_EQ(f.ReadReal(u"Options", u"r2"), 0);
  EXPECT_DOUBLE_EQ(f.ReadReal(u"Options", u"r3"), -22.5);
  EXPECT_DOUBLE_EQ(f.ReadReal(u"Options", u"absent"), 0);
  ASSERT_TRUE(file_.WriteInteger(u"Global", u"LastUIStartTime", -1234567890123LL));
  EXPECT_EQ(file_.ReadInteger(u"Global", u"LastUIStartTime"), -1234567890123LL);
}

TEST_F(SettingsTest, TableDefaultsAndRangeRules) {
  auto f = FileWith("[Options]\r\nThumbnailSize=10\r\nCloseByEsc=\r\nRibbonUI=2\r\n[UIState]\r\nZoomScale=9\r\n");
  EXPECT_EQ(GetInteger(f, SettingId::kThumbnailSize), 32);
  EXPECT_TRUE(GetFlag(f, SettingId::kCloseByEsc)) << "empty: default on";
  EXPECT_FALSE(GetFlag(f, SettingId::kRibbonUI));
  EXPECT_EQ(GetInteger(f, SettingId::kZoomScale), 100);
  struct Case {
    SettingId id;
    int64_t stored, expected;
  };
  for (Case c : {Case{SettingId::kThumbnailSize, 300, 256}, Case{SettingId::kThumbnailSize, 32, 32},
                 Case{SettingId::kThumbnailSize, 256, 256}, Case{SettingId::kThumbnailSize, 96, 96},
                 Case{SettingId::kZoomScale, 1401, 100}, Case{SettingId::kZoomScale, 10, 10},
                 Case{SettingId::kZoomScale, 1400, 1400}, Case{SettingId::kZoomScale, -5, 100}}) {
    ASSERT_TRUE(SetInteger(f, c.id, c.stored));
    EXPECT_EQ(GetInteger(f, c.id), c.expected) << c.stored;
  }
  ASSERT_TRUE(DeleteSetting(f, SettingId::kThumbnailSize));
  EXPECT_EQ(GetInteger(f, SettingId::kThumbnailSize), 48);
  ASSERT_TRUE(SetFlag(f, SettingId::kCloseByEsc, false));
  EXPECT_EQ(f.ReadText(u"options", u"closebyesc"), u"0");
}

TEST_F(SettingsTest, LineListsJoinLinesWithColons) {
  ASSERT_TRUE(file_.WriteLineList(u"ExcludeNames", u"one\r\ntwo\nthree"));
  EXPECT_EQ(file_.ReadText(u"Options", u"ExcludeNames"), u"one:two:three");
  EXPECT_EQ(file_.ReadLineList(u"ExcludeNames"), u"one\r\ntwo\r\nthree");
  EXPECT_EQ(SplitLineList(u"a:b"), (std::vector<std::u16string>{u"a", u"b"}));
  EXPECT_EQ(SplitLineList(u"a::"), (std::vector<std::u16string>{u"a", u"", u""}));
  EXPECT_TRUE(SplitLineList(u"").empty());
  ASSERT_TRUE(SetRealText(file_, SettingId::kBuildEveryValue, u"2.5"));
  EXPECT_DOUBLE_EQ(GetReal(file_, SettingId::kBuildEveryValue), 2.5);
  // A line list is longer than a text value may be (510 characters of global filter): it
  // reads back whole, through the key table too; a plain text value is still cut at 254.
  std::u16string lines;
  while (lines.size() < 500) lines += u"*.tmp\n";
  lines += u"end";
  ASSERT_TRUE(file_.WriteLineList(u"GlobalFilter", lines));
  const std::u16string stored = TextToLineList(lines);
  EXPECT_EQ(file_.ReadLineList(u"GlobalFilter"), LineListToText(stored));
  EXPECT_EQ(GetText(file_, SettingId::kGlobalFilter), stored);
  ASSERT_TRUE(file_.WriteText(u"UIState", u"GotoRow", stored));
  EXPECT_EQ(file_.ReadText(u"UIState", u"GotoRow"), stored.substr(0, 254));
}

TEST_F(SettingsTest, DeletesRemoveEveryCopy) {
  auto f = FileWith("[a]\r\nb=1\r\nB=2\r\nc=3\r\n[X]\r\nk=1\r\n[x]\r\nk=2\r\n");
  ASSERT_TRUE(f.DeleteKey(u"a", u"b"));
  EXPECT_FALSE(f.HasKey(u"a", u"b"));
  EXPECT_EQ(f.ReadText(u"a", u"c"), u"3");
  ASSERT_TRUE(f.DeleteSection(u"x"));
  EXPECT_EQ(f.ListSections(), std::vector<std::u16string>{u"a"});
  EXPECT_TRUE(f.DeleteKey(u"a", u"never"));
  EXPECT_TRUE(f.DeleteSection(u"never"));
  SettingsFile missing(dir_.Sub(u"missing.ini"));
  EXPECT_TRUE(missing.DeleteKey(u"a", u"b"));
  EXPECT_FALSE(Env::Default()->FileExists(missing.path())) << "deleting from no file creates none";
}

TEST_F(SettingsTest, CountedStructs) {
  const unsigned char state[5] = {0, 1, 2, 0xFE, 0xFF};
  ASSERT_TRUE(file_.WriteStruct(u"UIState", u"RibbonState", state, 5));
  EXPECT_EQ(file_.ReadInteger(u"UIState", u"_cb_RibbonState"), 5);
  EXPECT_EQ(file_.ReadStruct(u"UIState", u"RibbonState", nullptr, 0), 5u);
  unsigned char small[4] = {9, 9, 9, 9};
  EXPECT_EQ(file_.ReadStruct(u"UIState", u"RibbonState", small, 4), 5u);
  EXPECT_EQ(small[0], 9) << "too small a buffer is not filled";
  unsigned char back[8] = {};
  ASSERT_EQ(file_.ReadStruct(u"UIState", u"RibbonState", back, 8), 5u);
  EXPECT_EQ(0, memcmp(back, state, 5));
  // A count that no longer matches the bytes is damage, not data.
  ASSERT_TRUE(file_.WriteInteger(u"UIState", u"_cb_RibbonState", 4));
  EXPECT_EQ(file_.ReadStruct(u"UIState", u"RibbonState", back, 8), 0u);
  EXPECT_EQ(file_.ReadStruct(u"UIState", u"Absent", back, 8), 0u);
}

TEST_F(SettingsTest, RecentListsLoadUntilAGapAndSaveEverySlot) {
  auto f = FileWith("[MRU]\r\nItem0=first\r\nItem1=second\r\nItem3=after gap\r\n");
  RecentList mru(kRecentSearches);
  mru.Load(f);
  EXPECT_EQ(mru.entries(), (std::vector<std::u16string>{u"first", u"second"}));

  mru.Add(u"  second  ");
  EXPECT_EQ(mru.entries(), (std::vector<std::u16string>{u"second", u"first"}));
  mru.Add(u"Second");
  EXPECT_EQ(mru.entries().front(), u"Second") << "case counts";
  mru.Add(u"   ");
  EXPECT_EQ(mru.entries().size(), 3u);
  mru.MoveToFront(2);
  EXPECT_EQ(mru.entries(), (std::vector<std::u16string>{u"first", u"Second", u"second"}));
  ASSERT_TRUE(mru.Save(f));
  EXPECT_FALSE(f.HasKey(u"MRU", u"Item3")) << "slots past the list are deleted";

  RecentList db(kRecentDbLocations);
  for (int i = 0; i < 12; ++i) db.Add(u"\"C:\\db" + std::u16string(1, static_cast<char16_t>(u'a' + i)) + u"\"");
  ASSERT_EQ(db.entries().size(), 8u);
  EXPECT_EQ(db.entries().front(), u"\"C:\\dbl\"");
  EXPECT_EQ(db.entries().back(), u"\"C:\\dbe\"");
  ASSERT_TRUE(db.Save(f));
  RecentList reloaded(kRecentDbLocations);
  reloaded.Load(f);
  EXPECT_EQ(reloaded.entries(), db.entries()) << "quoted entries survive a round trip";

  RecentList full({u"Big", 16});
  for (int i = 0; i < 16; ++i) full.Add(std::u16string(1, static_cast<char16_t>(u'a' + i)));
  ASSERT_TRUE(full.Save(f));
  EXPECT_EQ(f.ReadText(u"Big", u"ItemF"), u"a");
  RecentList full_back({u"Big", 16});
  full_back.Load(f);
  EXPECT_EQ(full_back.entries(), full.entries());
}

TEST_F(SettingsTest, NumberedListsSkipEmptyItemsAndDifferInDeletion) {
  auto f =
      FileWith("[NamedSearch]\r\nCount=3\r\nName1=a\r\nSearch1=x\r\nName2=\r\nSearch2=y\r\nName3=c\r\nSearch3=z\r\n");
  auto named = LoadNumberedList(f, kNamedSearchList);
  ASSERT_EQ(named.size(), 2u);
  EXPECT_EQ(named[1], (NumberedItem{u"c", u"z"}));

  ASSERT_TRUE(SaveNumberedList(f, kNamedSearchList, {{u"only", u"q"}}));
  EXPECT_EQ(LoadNumberedList(f, kNamedSearchList), std::vector<NumberedItem>{(NumberedItem{u"only", u"q"})});
  EXPECT_EQ(f.ReadText(u"NamedSearch", u"Name3"), u"c") << "named searches are not deleted first";

  ASSERT_TRUE(SaveNumberedList(f, kKeyboardShortcutList, {{u"1,2,3"}, {u"4,5,6"}, {u"7,8,9"}}));
  ASSERT_TRUE(SaveNumberedList(f, kKeyboardShortcutList, {{u"1,2,3"}}));
  EXPECT_FALSE(f.HasKey(u"KeyboardShortcuts", u"Item2")) << "shortcuts are deleted first";
  ASSERT_TRUE(SaveNumberedList(f, kIgnoreFolderList, {{u"C:\\a"}, {u"D:\\b"}}));
  EXPECT_EQ(f.ReadText(u"NuskIgnoreFolders", u"Item_2"), u"D:\\b");
  EXPECT_FALSE(SaveNumberedList(f, kCustomActionList, {{u"name without command"}}));
  EXPECT_FALSE(f.HasKey(u"CustomAction", u"Count"));
  auto damaged = FileWith("[CustomAction]\r\nCount=-5\r\n");
  EXPECT_TRUE(LoadNumberedList(damaged, kCustomActionList).empty());
}

TEST_F(SettingsTest, DatabaseResetRemovesLegacySections) {
  auto f = FileWith(
      "[Global]\r\nDBVersion=3\r\nShowTipOnStartup=0\r\n[DriveLabels]\r\nC=sys\r\n[C_]\r\nx=1\r\n[Z_]\r\n"
      "[Options]\r\nk=1\r\n[AB_]\r\n[d_]\r\n[_C]\r\n[MRU]\r\nItem0=q\r\n");
  ResetLegacyDatabaseSettings(f);
  EXPECT_FALSE(f.HasKey(u"Global", u"DBVersion"));
  EXPECT_EQ(f.ReadText(u"Global", u"ShowTipOnStartup"), u"0");
  EXPECT_EQ(f.ListSections(), (std::vector<std::u16string>{u"Global", u"Options", u"AB_", u"_C", u"MRU"}));
}

TEST_F(SettingsTest, SettingsUsesTheProcessSettingsPath) {
  std::u16string saved = Process().settings_path;
  Process().settings_path = dir_.Sub(u"process.ini");
  EXPECT_TRUE(SetInteger(Settings(), SettingId::kLanguage, 3));
  EXPECT_EQ(GetInteger(SettingId::kLanguage), 3);
  EXPECT_EQ(SettingsFile(dir_.Sub(u"process.ini")).ReadText(u"Options", u"Language"), u"3");
  Process().settings_path.clear();
  EXPECT_FALSE(SetInteger(Settings(), SettingId::kLanguage, 4)) << "no settings file yet";
  EXPECT_EQ(GetInteger(SettingId::kLanguage), 0);
  Process().settings_path = saved;
}

}  // namespace
}  // namespace nusk
