// The options dialog's model: reading with defaults, dependent controls, the interval
// check, what OK writes and what the window does afterwards, and the volume states.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/profile.h"
#include "settings/settings_file.h"
#include "tests/testing/test_env.h"
#include "ui/options_model.h"

namespace nusk {
namespace {

using S = SettingId;

OptionValue& At(OptionValues& v, S id) { return v[static_cast<size_t>(OptionFieldIndex(id))]; }

constexpr OptionsPage kAllPages[] = {OptionsPage::kGeneral, OptionsPage::kResultList, OptionsPage::kDatabase,
                                     OptionsPage::kVolumes, OptionsPage::kMisc};

TEST(UiOptionsModel, ReadsDefaultsAndStoredValues) {
  testing::TempDir dir;
  const OptionsSystem modern{true, true};
  OptionValues none = ReadOptionValues(SettingsFile(dir.Sub(u"missing.ini")), modern);
  EXPECT_TRUE(At(none, S::kCloseByEsc).on);
  EXPECT_TRUE(At(none, S::kRibbonUI).on);
  EXPECT_TRUE(At(none, S::kRememberRecentOpened).on);
  EXPECT_FALSE(At(none, S::kCloseToTray).on);
  EXPECT_FALSE(At(none, S::kThumbnailSize).on);
  EXPECT_EQ(At(none, S::kLanguage).number, 0);

  const SettingsFile file(
      dir.WriteFile(u"nusk.ini",
                    "[Options]\r\nThumbnailSize=49\r\nGlobalFilter=a:b\r\nBuildEveryValue=2.5\r\nBuildEveryUnit=7\r\n"
                    "Language=8\r\nLanguageFile=lang\\lang.pt.ini\r\nRibbonUI=1\r\nExplorerStyleList=1\r\n"));
  OptionValues v = ReadOptionValues(file, modern);
  EXPECT_TRUE(At(v, S::kThumbnailSize).on);
  EXPECT_EQ(At(v, S::kGlobalFilter).text, u"a\r\nb");
  // The window applies every line of the filter, not a name holding ":".
  EXPECT_EQ(ReadGlobalFilter(file), u"a b");
  EXPECT_EQ(ReadGlobalFilter(SettingsFile(dir.WriteFile(u"f.ini", "[Options]\r\nGlobalFilter=:/f::*.txt:\r\n"))),
            u"/f *.txt");
  EXPECT_EQ(At(v, S::kBuildEveryValue).text, u"2.5");
  EXPECT_EQ(At(v, S::kBuildEveryUnit).number, 2);
  EXPECT_EQ(At(v, S::kLanguage).number, 8);
  EXPECT_EQ(At(v, S::kLanguage).text, u"lang\\lang.pt.ini");
  // The ribbon cannot be offered when the framework is missing; the old list only.
  OptionValues plain = ReadOptionValues(file, {true, false});
  EXPECT_FALSE(At(plain, S::kRibbonUI).on);
  EXPECT_TRUE(At(plain, S::kExplorerStyleList).on);
  OptionValues old = ReadOptionValues(file, {false, true});
  EXPECT_FALSE(At(old, S::kExplorerStyleList).on);
}

TEST(UiOptionsModel, DependentControlsFollowTheirBox) {
  const OptionsSystem sys{true, false};
  OptionValues v(OptionFields().size());
  struct Case {
    S driver;
    std::vector<S> dependents;
  };
  const Case cases[] = {{S::kCloseToTray, {S::kStartMinimized, S::kNoMinimizeNotification}},
                        {S::kExcludeByName, {S::kExcludeNames}},
                        {S::kAutoBuild, {S::kBuildEveryValue, S::kBuildEveryUnit}}};
  for (const Case& c : cases) {
    EXPECT_EQ(DependentsOf(c.driver), c.dependents);
    for (S id : c.dependents) EXPECT_FALSE(OptionEnabled(v, id, sys)) << static_cast<int>(id);
    At(v, c.driver).on = true;
    for (S id : c.dependents) EXPECT_TRUE(OptionEnabled(v, id, sys)) << static_cast<int>(id);
  }
  EXPECT_TRUE(OptionEnabled(v, S::kCloseByEsc, sys));
  EXPECT_FALSE(OptionEnabled(v, S::kRibbonUI, sys));
  EXPECT_TRUE(OptionEnabled(v, S::kRibbonUI, {true, true}));
  EXPECT_FALSE(OptionEnabled(v, S::kExplorerStyleList, {false, true}));
}

TEST(UiOptionsModel, IntervalCheck) {
  for (std::u16string_view bad : {u"abc", u"0", u" ", u"0.0", u"-", u"+x"}) EXPECT_TRUE(IntervalRejected(bad));
  for (std::u16string_view good : {u"", u"1", u"1.5", u" +2", u"3h", u"-1"}) EXPECT_FALSE(IntervalRejected(good));
}

TEST(UiOptionsModel, WritesEveryKeyAndRoundTrips) {
  testing::TempDir dir;
  const SettingsFile file(dir.Sub(u"nusk.ini"));
  const OptionsSystem sys{true, true};
  OptionValues v = ReadOptionValues(file, sys);
  for (const OptionField& f : OptionFields()) {
    if (f.form == OptionForm::kCheck || f.form == OptionForm::kLargeThumbnails) { At(v, f.id).on = !At(v, f.id).on; }
  }
  At(v, S::kGlobalFilter).text = u"*.txt\r\n!x";
  At(v, S::kExcludeNames).text = u"tmp\r\n*.bak";
  At(v, S::kBuildEveryValue).text = u"90";
  At(v, S::kBuildEveryUnit).number = 1;
  At(v, S::kLanguage) = {false, 7, u"lang\\lang.pt.ini"};
  ASSERT_TRUE(WriteOptionValues(file, v, kAllPages, sys));
  EXPECT_EQ(ReadOptionValues(file, sys), v);
  EXPECT_EQ(file.ReadText(u"Options", u"ThumbnailSize"), u"96");
  EXPECT_EQ(file.ReadText(u"Options", u"GlobalFilter"), u"*.txt:!x");
  EXPECT_EQ(file.ReadText(u"Options", u"CloseByEsc"), u"0");
  EXPECT_EQ(file.ReadText(u"Options", u"LanguageFile"), u"lang\\lang.pt.ini");

  // Only the pages asked for are written; the filter is cut to 510 characters.
  const SettingsFile second(dir.Sub(u"second.ini"));
  At(v, S::kGlobalFilter).text = std::u16string(600, u'q');
  const OptionsPage result_list[] = {OptionsPage::kResultList};
  ASSERT_TRUE(WriteOptionValues(second, v, result_list, sys));
  EXPECT_EQ(Profile::Default()->GetString(dir.Sub(u"second.ini"), u"Options", u"GlobalFilter", u"", 2048),
            std::u16string(kGlobalFilterMaxChars, u'q'));
  EXPECT_FALSE(second.HasKey(u"Options", u"CloseByEsc"));
  EXPECT_TRUE(second.HasKey(u"Options", u"ShowFolderSize"));

  // A control the system cannot offer keeps its stored value.
  const SettingsFile third(dir.WriteFile(u"third.ini", "[Options]\r\nRibbonUI=1\r\n"));
  OptionValues off = ReadOptionValues(third, {true, false});
  ASSERT_TRUE(WriteOptionValues(third, off, kAllPages, {true, false}));
  EXPECT_EQ(third.ReadText(u"Options", u"RibbonUI"), u"1");
}

TEST(UiOptionsModel, OutcomeOfChanges) {
  const OptionsSystem sys{true, true};
  const OptionValues before = ReadOptionValues(SettingsFile(u""), sys);
  struct Case {
    S id;
    bool restart, search, folders, thumbs, searches, opened, locations;
  };
  const Case cases[] = {
      {S::kLanguage, true, false, false, false, false, false, false},
      {S::kRibbonUI, true, false, false, false, false, false, false},
      {S::kExplorerStyleList, true, false, false, false, false, false, false},
      {S::kCloseByEsc, false, false, false, false, false, false, false},
      {S::kShowAllItemsForEmptySearch, false, true, false, false, false, false, false},
      {S::kGlobalFilter, false, true, false, false, false, false, false},
      {S::kShowFolderSize, false, false, true, false, false, false, false},
      {S::kThumbnailSize, false, false, false, true, false, false, false},
      {S::kRememberRecentSearches, false, false, false, false, true, false, false},
      {S::kRememberRecentOpened, false, false, false, false, false, true, false},
      {S::kRememberRecentLocations, false, false, false, false, false, false, true},
  };
  for (const Case& c : cases) {
    OptionValues after = before;
    OptionValue& v = At(after, c.id);
    v.on = !v.on;
    v.number = 4;
    v.text = u"x";
    const OptionsOutcome o = CompareOptionValues(before, after, sys);
    SCOPED_TRACE(static_cast<int>(c.id));
    EXPECT_EQ(o.restart, c.restart);
    EXPECT_EQ(o.search_again, c.search);
    EXPECT_EQ(o.folder_sizes, c.folders);
    EXPECT_EQ(o.thumbnails, c.thumbs);
    EXPECT_EQ(o.clear_recent_searches, c.searches);
    EXPECT_EQ(o.clear_recent_opened, c.opened);
    EXPECT_EQ(o.clear_recent_locations, c.locations);
  }
  // A language file replaced by another file under the same index needs a restart too;
  // switching a remember box on empties nothing; the ribbon never asks when unavailable.
  OptionValues a = before, b = before;
  At(a, S::kLanguage) = {false, 7, u"lang\\a.ini"};
  At(b, S::kLanguage) = {false, 7, u"lang\\b.ini"};
  EXPECT_TRUE(CompareOptionValues(a, b, sys).restart);
  EXPECT_FALSE(CompareOptionValues(b, b, sys).restart);
  OptionValues off = before;
  At(off, S::kRememberRecentSearches).on = false;
  EXPECT_FALSE(CompareOptionValues(off, before, sys).clear_recent_searches);
  At(off, S::kRibbonUI).on = !At(off, S::kRibbonUI).on;
  EXPECT_FALSE(CompareOptionValues(before, off, {true, false}).restart);
}

TEST(UiOptionsModel, VolumeStates) {
  // Read as the build reads the setting: a letter then "0" skips it, any other letter includes it.
  const VolumeStates states = VolumeStatesForPage(u"C1D0E1Z");
  EXPECT_EQ(states[2], kVolumeSelected);
  EXPECT_EQ(states[3], kVolumeSkipped);
  EXPECT_EQ(states[4], kVolumeSelected);
  EXPECT_EQ(states[25], kVolumeSelected);
  EXPECT_EQ(states[5], kVolumeUnlisted);
  // An empty setting names no drive: each row shows its own default.
  for (std::u16string_view empty : {u"", u" \r\n"}) {
    const VolumeStates none = VolumeStatesForPage(empty);
    EXPECT_TRUE(std::all_of(none.begin(), none.end(), [](VolumeState s) { return s == kVolumeUnlisted; }));
  }
  std::vector<VolumeChoice> rows = {
      {u'E', false, false}, {u'C', true, false}, {u'D', true, true}, {u'F', true, false}, {u'G', false, true}};
  CheckVolumeRows(states, &rows);
  // Local NTFS: on unless 0; other drives: on only when 1.
  EXPECT_TRUE(rows[0].checked);   // E named 1
  EXPECT_TRUE(rows[1].checked);   // C named 1
  EXPECT_FALSE(rows[2].checked);  // D named 0
  EXPECT_TRUE(rows[3].checked);   // F not named, local NTFS
  EXPECT_FALSE(rows[4].checked);  // G not named, removable
  EXPECT_EQ(FormatVolumeStateText(rows), u"C1D0E1F1G0");
  EXPECT_EQ(CheckAllState(rows), 2);
  for (auto& r : rows) r.checked = true;
  EXPECT_EQ(CheckAllState(rows), 1);
  EXPECT_EQ(CheckAllState({}), 0);
}

}  // namespace
}  // namespace nusk
