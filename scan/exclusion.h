// Exclusion rules: which items and drives stay out of the index.
//
// The settings are read once per build (ReadExclusionSettings) and then only read by
// the scanners of that build, on the build thread.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "scan/volume_state.h"

namespace nusk {

class Profile;

enum PatternKind : uint16_t { kPatternExact = 0, kPatternSuffix = 1, kPatternPrefix = 2 };

struct ExclusionSettings {
  bool exclude_hidden = false;
  bool exclude_by_name = false;
  std::vector<std::u16string> folder_patterns;
  std::vector<std::u16string> file_patterns;
  std::vector<uint16_t> folder_pattern_kinds;
  std::vector<uint16_t> file_pattern_kinds;
  // Per drive A..Z.
  VolumeStates volume_states{};
  std::vector<std::u16string> ignored_folders_found;  // filled by the build
};

// True when the drive exists, is fixed and formatted NTFS (answers for an empty
// VolumeStates setting).
using FixedNtfsDriveQuery = std::function<bool(char16_t drive_letter)>;

// Reads section "Options" of the settings file: ExcludeHidden, ExcludeByName,
// ExcludeNames, VolumeStates. Missing or non-numeric switches are off.
void ReadExclusionSettings(Profile* profile, const std::u16string& settings_path,
                           const FixedNtfsDriveQuery& is_fixed_ntfs, ExclusionSettings* settings);

// Splits an ExcludeNames value into the pattern lists (exposed for tests).
void ParseExcludeNames(std::u16string_view value, ExclusionSettings* settings);

// Parses a VolumeStates value (exposed for tests).
void ParseVolumeStates(std::u16string_view value, const FixedNtfsDriveQuery& is_fixed_ntfs, VolumeStates* states);

// Pattern tests, ASCII letters compared without case, any match excludes.
bool MatchesFolderPattern(const ExclusionSettings& settings, std::u16string_view name);
bool MatchesFilePattern(const ExclusionSettings& settings, std::u16string_view name);

// The marker file that keeps a folder tree (or a whole drive) out of the index.
inline constexpr std::u16string_view kIgnoreMarkerName = u"_nuskignore";

// Updates section "NuskIgnoreFolders": folders of drives built in this run are kept only
// while their marker still exists (marker_exists answers for a folder path), the folders
// found are added; the list is written sorted without duplicates. False when a write
// failed (the section is then left as the failed write left it; nothing else is lost).
bool StoreIgnoredFolders(Profile* profile, const std::u16string& settings_path,
                         const std::array<bool, 26>& built_drives, const std::vector<std::u16string>& found,
                         const std::function<bool(const std::u16string& folder)>& marker_exists);

// The folders stored in section "NuskIgnoreFolders".
std::vector<std::u16string> ReadIgnoredFolders(Profile* profile, const std::u16string& settings_path);

}  // namespace nusk
