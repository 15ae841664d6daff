#include "settings/setting_keys.h"

#include <algorithm>

#include "util/casemap.h"

namespace nusk {

namespace {

using E = SettingEncoding;
using R = RangeRule;
using S = SettingId;

constexpr std::u16string_view kO = kOptionsSection;
constexpr std::u16string_view kU = kUIStateSection;
constexpr std::u16string_view kG = kGlobalSection;
constexpr std::u16string_view kWeb = u"WebServer";

constexpr SettingKey Flag(S id, std::u16string_view section, std::u16string_view key, bool def) {
  return {id, section, key, E::kFlag, true, def ? 1 : 0, R::kNone, 0, 0};
}
constexpr SettingKey Int(S id, std::u16string_view section, std::u16string_view key, int64_t def) {
  return {id, section, key, E::kInteger, true, def, R::kNone, 0, 0};
}
// A key that stays absent until written ("absent" default).
constexpr SettingKey Absent(S id, std::u16string_view section, std::u16string_view key, E encoding) {
  return {id, section, key, encoding, false, 0, R::kNone, 0, 0};
}
constexpr SettingKey Text(S id, std::u16string_view section, std::u16string_view key, E encoding = E::kText) {
  return {id, section, key, encoding, true, 0, R::kNone, 0, 0};
}

// The whole table, in SettingId order (checked at start by Describe's lookup).
constexpr SettingKey kKeys[] = {
    Flag(S::kCloseToTray, kO, u"CloseToTray", false),
    Flag(S::kStartMinimized, kO, u"StartMinimized", false),
    Flag(S::kNoMinimizeNotification, kO, u"NoMinimizeNotification", false),
    Flag(S::kCloseByEsc, kO, u"CloseByEsc", true),
    Flag(S::kMultiInstance, kO, u"MultiInstance", false),
    Int(S::kLanguage, kO, u"Language", 0),
    Text(S::kLanguageFile, kO, u"LanguageFile", E::kLineList),
    Flag(S::kRibbonUI, kO, u"RibbonUI", true),
    Flag(S::kExplorerStyleList, kO, u"ExplorerStyleList", true),
    Flag(S::kShowFolderSize, kO, u"ShowFolderSize", false),
    Flag(S::kHumanReadableSize, kO, u"HumanReadableSize", true),
    Flag(S::kShowInfoTipOnCtrlDown, kO, u"ShowInfoTipOnCtrlDown", false),
    Flag(S::kDetailedInfoTip, kO, u"DetailedInfoTip", false),
    Flag(S::kShowAllItemsForEmptySearch, kO, u"ShowAllItemsForEmptySearch", true),
    {S::kThumbnailSize, kO, u"ThumbnailSize", E::kInteger, true, 48, R::kClamp, 32, 256},
    Flag(S::kAutoStretchColumns, kO, u"AutoStretchColumns", true),
    Flag(S::kAvoidWakingUpHdds, kO, u"AvoidWakingUpHdds", false),
    Text(S::kGlobalFilter, kO, u"GlobalFilter", E::kLineList),
    Flag(S::kRememberRecentSearches, kO, u"RememberRecentSearches", true),
    Flag(S::kRememberRecentOpened, kO, u"RememberRecentOpened", true),
    Flag(S::kRememberRecentLocations, kO, u"RememberRecentLocations", true),
    Flag(S::kNavButtons, kO, u"NavButtons", true),
    Flag(S::kSearchButton, kO, u"SearchButton", false),
    Flag(S::kStatusBar, kO, u"StatusBar", true),
    Flag(S::kAltRowGroupColor, kO, u"AltRowGroupColor", false),
    Flag(S::kShowBuiltNotification, kO, u"ShowBuiltNotification", true),
    Flag(S::kBuildInBackground, kO, u"BuildInBackground", false),
    Flag(S::kBuildOnStartup, kO, u"BuildOnStartup", false),
    Flag(S::kAutoBuild, kO, u"AutoBuild", false),
    Text(S::kBuildEveryValue, kO, u"BuildEveryValue", E::kReal),
    Int(S::kBuildEveryUnit, kO, u"BuildEveryUnit", 0),
    Flag(S::kExcludeHidden, kO, u"ExcludeHidden", false),
    Flag(S::kExcludeByName, kO, u"ExcludeByName", false),
    Text(S::kExcludeNames, kO, u"ExcludeNames", E::kLineList),
    Text(S::kVolumeStates, kO, u"VolumeStates"),

    Absent(S::kWindowPlacement, kU, u"WindowPlacement", E::kText),
    {S::kZoomScale, kU, u"ZoomScale", E::kInteger, true, 100, R::kDefaultOutside, 10, 1400},
    Absent(S::kColumns, kU, u"Columns", E::kText),
    Flag(S::kShowFilesCount, kU, u"ShowFilesCount", false),
    Flag(S::kShowingHashInfo, kU, u"ShowingHashInfo", false),
    Absent(S::kLvDynColWidths, kU, u"Lv_DynColWidths", E::kText),
    Absent(S::kLvColWidths, kU, u"Lv_ColWidths", E::kText),
    Absent(S::kLvClientWidth, kU, u"Lv_ClientWidth", E::kInteger),
    Flag(S::kShowTree, kU, u"ShowTree", false),
    Absent(S::kTreePaneWidth, kU, u"TreePaneWidth", E::kInteger),
    Flag(S::kThumbnailsView, kU, u"ThumbnailsView", false),
    Flag(S::kToolbar, kU, u"Toolbar", true),
    Absent(S::kBigToolbar, kU, u"BigToolbar", E::kFlag),
    Absent(S::kToolbarState, kU, u"ToolbarState", E::kText),
    Absent(S::kCustomCommandNames, kU, u"CustomCommandNames", E::kText),
    Absent(S::kRibbonState, kU, u"RibbonState", E::kStruct),
    Absent(S::kGotoRow, kU, u"GotoRow", E::kText),
    Absent(S::kQueryComposerPos, kU, u"QueryComposerPos", E::kText),

    Absent(S::kLastUIStartTime, kG, u"LastUIStartTime", E::kInteger),
    Absent(S::kLastUIEndTime, kG, u"LastUIEndTime", E::kInteger),
    Absent(S::kLastRunVersion, kG, u"LastRunVersion", E::kText),
    Int(S::kShowTipOnStartup, kG, u"ShowTipOnStartup", 1),
    Absent(S::kDefaultTodIndex, kG, u"DefaultTodIndex", E::kInteger),
    Absent(S::kDBVersion, kG, u"DBVersion", E::kText),
    // The update check's version file and download page: empty means no check is configured,
    // so nothing is ever requested unless the user names an address.
    Text(S::kUpdateCheckUrl, kG, u"UpdateCheckUrl"),
    Text(S::kUpdatePageUrl, kG, u"UpdatePageUrl"),

    Text(S::kBuildingDrive, u"Build", u"BuildingDrive"),
    Text(S::kWebServerIp, kWeb, u"ip"),
    Int(S::kWebServerPort, kWeb, u"port", 8080),
    Text(S::kWebServerUserName, kWeb, u"userName"),
    Text(S::kWebServerPassword, kWeb, u"password"),
    Flag(S::kWebServerRunning, kWeb, u"Running", false),
    Text(S::kMessageFindStr, u"Message", u"FindStr"),
};

static_assert(std::size(kKeys) == static_cast<size_t>(SettingId::kCount), "one table entry per SettingId");

constexpr bool TableInIdOrder() {
  for (size_t i = 0; i < std::size(kKeys); ++i) {
    if (static_cast<size_t>(kKeys[i].id) != i) return false;
  }
  return true;
}
static_assert(TableInIdOrder(), "table rows follow SettingId order");

constexpr bool DefaultsInTheirRanges() {
  for (const SettingKey& k : kKeys) {
    if (k.range != RangeRule::kNone && (k.default_value < k.min_value || k.default_value > k.max_value)) return false;
  }
  return true;
}
static_assert(DefaultsInTheirRanges(), "a ranged key's default lies in its range");

}  // namespace

const SettingKey& Describe(SettingId id) { return kKeys[static_cast<size_t>(id)]; }

std::span<const SettingKey> AllSettingKeys() { return kKeys; }

bool GetFlag(const SettingsFile& file, SettingId id) {
  const SettingKey& k = Describe(id);
  std::u16string text = file.ReadText(k.section, k.key);
  return text.empty() ? k.default_value == 1 : ParseSettingInteger(text) == 1;
}

int64_t GetInteger(const SettingsFile& file, SettingId id) {
  const SettingKey& k = Describe(id);
  std::u16string text = file.ReadText(k.section, k.key);
  if (text.empty()) return k.default_value;
  int64_t value = ParseSettingInteger(text);
  switch (k.range) {
    case RangeRule::kClamp: return std::clamp(value, k.min_value, k.max_value);
    case RangeRule::kDefaultOutside: return value < k.min_value || value > k.max_value ? k.default_value : value;
    case RangeRule::kNone: break;
  }
  return value;
}

double GetReal(const SettingsFile& file, SettingId id) {
  const SettingKey& k = Describe(id);
  return file.ReadReal(k.section, k.key);
}

std::u16string GetText(const SettingsFile& file, SettingId id) {
  const SettingKey& k = Describe(id);
  if (k.encoding == SettingEncoding::kLineList) return file.ReadStoredLineList(k.section, k.key);
  return file.ReadText(k.section, k.key);
}

bool SetFlag(const SettingsFile& file, SettingId id, bool on) {
  const SettingKey& k = Describe(id);
  return file.WriteInteger(k.section, k.key, on ? 1 : 0);
}

bool SetInteger(const SettingsFile& file, SettingId id, int64_t value) {
  const SettingKey& k = Describe(id);
  return file.WriteInteger(k.section, k.key, value);
}

bool SetText(const SettingsFile& file, SettingId id, std::u16string_view value) {
  const SettingKey& k = Describe(id);
  return file.WriteText(k.section, k.key, value);
}

bool SetRealText(const SettingsFile& file, SettingId id, std::u16string_view typed) {
  const SettingKey& k = Describe(id);
  return file.WriteText(k.section, k.key, TextToLineList(typed));
}

bool DeleteSetting(const SettingsFile& file, SettingId id) {
  const SettingKey& k = Describe(id);
  return file.DeleteKey(k.section, k.key);
}

void ResetLegacyDatabaseSettings(const SettingsFile& file) {
  if (file.HasKey(kGlobalSection, u"DBVersion")) file.DeleteKey(kGlobalSection, u"DBVersion");
  file.DeleteSection(u"DriveLabels");
  for (const std::u16string& name : file.ListSections()) {
    // Section names compare without case, so "c_" is the same section as "C_".
    char16_t letter = ToUpperUnit(name.empty() ? u'\0' : name[0]);
    if (name.size() >= 2 && letter >= u'A' && letter <= u'Z' && name[1] == u'_') file.DeleteSection(name);
  }
}

}  // namespace nusk
