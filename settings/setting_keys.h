// The table of every key of the settings file: its section, name, encoding, default and
// range. Code names a key by its SettingId and reads it through the typed accessors, which
// apply the default for a missing or empty value and the key's range rule, so the rules
// live in one place.
//
// Lists kept in whole sections (recent lists, numbered lists) are described in
// recent_list.h and numbered_list.h.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "settings/settings_file.h"

namespace nusk {

enum class SettingId {
  // Options
  kCloseToTray,
  kStartMinimized,
  kNoMinimizeNotification,
  kCloseByEsc,
  kMultiInstance,
  kLanguage,
  kLanguageFile,
  kRibbonUI,
  kExplorerStyleList,
  kShowFolderSize,
  kHumanReadableSize,
  kShowInfoTipOnCtrlDown,
  kDetailedInfoTip,
  kShowAllItemsForEmptySearch,
  kThumbnailSize,
  kAutoStretchColumns,
  kAvoidWakingUpHdds,
  kGlobalFilter,
  kRememberRecentSearches,
  kRememberRecentOpened,
  kRememberRecentLocations,
  kNavButtons,
  kSearchButton,
  kStatusBar,
  kAltRowGroupColor,
  kShowBuiltNotification,
  kBuildInBackground,
  kBuildOnStartup,
  kAutoBuild,
  kBuildEveryValue,
  kBuildEveryUnit,
  kExcludeHidden,
  kExcludeByName,
  kExcludeNames,
  kVolumeStates,
  // UIState
  kWindowPlacement,
  kZoomScale,
  kColumns,
  kShowFilesCount,
  kShowingHashInfo,
  kLvDynColWidths,
  kLvColWidths,
  kLvClientWidth,
  kShowTree,
  kTreePaneWidth,
  kThumbnailsView,
  kToolbar,
  kBigToolbar,
  kToolbarState,
  kCustomCommandNames,
  kRibbonState,
  kGotoRow,
  kQueryComposerPos,
  // Global
  kLastUIStartTime,
  kLastUIEndTime,
  kLastRunVersion,
  kShowTipOnStartup,
  kDefaultTodIndex,
  kDBVersion,
  kUpdateCheckUrl,
  kUpdatePageUrl,
  // Build, WebServer, Message
  kBuildingDrive,
  kWebServerIp,
  kWebServerPort,
  kWebServerUserName,
  kWebServerPassword,
  kWebServerRunning,
  kMessageFindStr,
  kCount  // number of keys, not a key
};

enum class SettingEncoding {
  kFlag,      // "1"/"0"; only 1 is on
  kInteger,   // decimal, 64-bit signed
  kReal,      // decimal text, stored through the line-list primitives
  kText,      // up to 254 characters
  kLineList,  // lines joined by ":"
  kStruct,    // hex bytes with checksum, count in "_cb_" + key
};

// What a value outside [min_value, max_value] reads as.
enum class RangeRule { kNone, kClamp, kDefaultOutside };

struct SettingKey {
  SettingId id;
  std::u16string_view section;
  std::u16string_view key;
  SettingEncoding encoding;
  bool has_default;       // false: the key is "absent" until written
  int64_t default_value;  // for flags and integers
  RangeRule range;
  int64_t min_value;
  int64_t max_value;
};

// The entry for id. Every SettingId below kCount has one.
const SettingKey& Describe(SettingId id);
// Every key, in SettingId order.
std::span<const SettingKey> AllSettingKeys();

// Typed accessors. A missing or empty value gives the key's default (0 / off when it has
// none); integers then get the key's range rule. Text and line lists are returned as stored.
bool GetFlag(const SettingsFile& file, SettingId id);
int64_t GetInteger(const SettingsFile& file, SettingId id);
double GetReal(const SettingsFile& file, SettingId id);
std::u16string GetText(const SettingsFile& file, SettingId id);

bool SetFlag(const SettingsFile& file, SettingId id, bool on);
bool SetInteger(const SettingsFile& file, SettingId id, int64_t value);
bool SetText(const SettingsFile& file, SettingId id, std::u16string_view value);
// Real values are stored as typed (through the line-list conversion).
bool SetRealText(const SettingsFile& file, SettingId id, std::u16string_view typed);
bool DeleteSetting(const SettingsFile& file, SettingId id);

// The same on the process's settings file.
inline bool GetFlag(SettingId id) { return GetFlag(Settings(), id); }
inline int64_t GetInteger(SettingId id) { return GetInteger(Settings(), id); }
inline std::u16string GetText(SettingId id) { return GetText(Settings(), id); }

// The database reset after an incompatible version: deletes `DBVersion` from `Global`,
// the `DriveLabels` section, and every section named by a letter A-Z followed by "_".
void ResetLegacyDatabaseSettings(const SettingsFile& file);

}  // namespace nusk
