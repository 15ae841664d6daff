#include "ui/options_model.h"

#include <algorithm>
#include <charconv>

#include "scan/exclusion.h"
#include "util/utf.h"

namespace nusk {

namespace {

using S = SettingId;
using F = OptionForm;
using P = OptionsPage;
constexpr S kNone = S::kCount;

constexpr OptionField kFields[] = {
    {S::kLanguage, P::kGeneral, F::kLanguage, u"label.language", u"Language:", kNone, true},
    {S::kCloseToTray, P::kGeneral, F::kCheck, u"checkbox.minimize_to_tray",
     u"Minimize to the notification area on close", kNone, false},
    {S::kStartMinimized, P::kGeneral, F::kCheck, u"checkbox.start_minimized", u"Start minimized", S::kCloseToTray,
     false},
    {S::kNoMinimizeNotification, P::kGeneral, F::kCheck, u"checkbox.no_minimize_notification",
     u"No notification when minimized", S::kCloseToTray, false},
    {S::kCloseByEsc, P::kGeneral, F::kCheck, u"checkbox.close_by_esc", u"Close the window with Esc", kNone, false},
    {S::kMultiInstance, P::kGeneral, F::kCheck, u"checkbox.allow_mlti_instance", u"Allow multiple instances", kNone,
     false},
    {S::kRibbonUI, P::kGeneral, F::kCheck, u"checkbox.ribbon_ui", u"Ribbon instead of menu bar and toolbar", kNone,
     true},
    {S::kShowBuiltNotification, P::kGeneral, F::kCheck, u"checkbox.show_build_notification",
     u"Notify when a build has finished", kNone, false},

    {S::kShowFolderSize, P::kResultList, F::kCheck, u"checkbox.show_folder_size", u"Show folder sizes", kNone, false},
    {S::kHumanReadableSize, P::kResultList, F::kCheck, u"checkbox.human_readable_size", u"Sizes in KB, MB and GB",
     kNone, false},
    {S::kExplorerStyleList, P::kResultList, F::kCheck, u"checkbox.explorer_style_result_list",
     u"Explorer style result list", kNone, true},
    {S::kShowInfoTipOnCtrlDown, P::kResultList, F::kCheck, u"checkbox.show_info_tip_on_ctrl_down",
     u"Info tips only while Ctrl is held", kNone, false},
    {S::kDetailedInfoTip, P::kResultList, F::kCheck, u"checkbox.detailed_info_tip", u"Detailed info tips", kNone,
     false},
    {S::kShowAllItemsForEmptySearch, P::kResultList, F::kCheck, u"checkbox.show_all_items_for_empty_search",
     u"Show all items for an empty search", kNone, false},
    {S::kThumbnailSize, P::kResultList, F::kLargeThumbnails, u"checkbox.large_thumbnails", u"Large thumbnails", kNone,
     false},
    {S::kAutoStretchColumns, P::kResultList, F::kCheck, u"checkbox.auto_stretch_columns",
     u"Stretch columns with the list", kNone, false},
    {S::kAvoidWakingUpHdds, P::kResultList, F::kCheck, u"checkbox.avoid_waking_up_sleeping_hdds",
     u"Do not wake up sleeping hard disks", kNone, false},
    {S::kGlobalFilter, P::kResultList, F::kLines, u"label.global_filter", u"Global filter:", kNone, false},

    {S::kExcludeHidden, P::kDatabase, F::kCheck, u"checkbox.exclude_hidden", u"Exclude hidden and system files", kNone,
     false},
    {S::kExcludeByName, P::kDatabase, F::kCheck, u"checkbox.exclude_by_name", u"Exclude by name:", kNone, false},
    {S::kExcludeNames, P::kDatabase, F::kLines, u"", u"", S::kExcludeByName, false},
    {S::kBuildInBackground, P::kDatabase, F::kCheck, u"checkbox.build_in_background", u"Build in the background", kNone,
     false},
    {S::kBuildOnStartup, P::kDatabase, F::kCheck, u"checkbox.build_on_startup", u"Build on start-up", kNone, false},
    {S::kAutoBuild, P::kDatabase, F::kCheck, u"checkbox.build_periodically", u"Build periodically, every:", kNone,
     false},
    {S::kBuildEveryValue, P::kDatabase, F::kInterval, u"", u"", S::kAutoBuild, false},
    {S::kBuildEveryUnit, P::kDatabase, F::kUnit, u"", u"", S::kAutoBuild, false},

    {S::kRememberRecentSearches, P::kMisc, F::kCheck, u"checkbox.remember_recent_searches", u"Remember recent searches",
     kNone, false},
    {S::kRememberRecentOpened, P::kMisc, F::kCheck, u"checkbox.remember_opened_files", u"Remember opened items", kNone,
     false},
    {S::kRememberRecentLocations, P::kMisc, F::kCheck, u"checkbox.remember_recent_locations",
     u"Remember recent locations", kNone, false},
};

// A control that this system cannot offer: shown off and disabled, never written.
bool Unavailable(S id, const OptionsSystem& system) {
  if (id == S::kRibbonUI) return !system.ribbon_available || !system.modern_shell;
  if (id == S::kExplorerStyleList) return !system.modern_shell;
  return false;
}

const OptionValue& ValueOf(const OptionValues& values, S id) {
  static const OptionValue kEmpty;
  const int i = OptionFieldIndex(id);
  return i >= 0 && static_cast<size_t>(i) < values.size() ? values[static_cast<size_t>(i)] : kEmpty;
}

bool Changed(const OptionValues& a, const OptionValues& b, S id) { return !(ValueOf(a, id) == ValueOf(b, id)); }

}  // namespace

std::u16string_view OptionsPageKey(OptionsPage page) {
  static constexpr std::u16string_view kKeys[] = {u"general", u"result_list", u"database", u"volumes", u"misc"};
  return kKeys[static_cast<int>(page)];
}

std::u16string_view OptionsPageTitle(OptionsPage page) {
  static constexpr std::u16string_view kTitles[] = {u"General", u"Result list", u"Database", u"Volumes", u"Misc"};
  return kTitles[static_cast<int>(page)];
}

std::span<const OptionField> OptionFields() { return kFields; }

int OptionFieldIndex(SettingId id) {
  for (size_t i = 0; i < std::size(kFields); ++i) {
    if (kFields[i].id == id) return static_cast<int>(i);
  }
  return -1;
}

OptionValues ReadOptionValues(const SettingsFile& file, const OptionsSystem& system) {
  OptionValues values(std::size(kFields));
  for (size_t i = 0; i < std::size(kFields); ++i) {
    const OptionField& f = kFields[i];
    OptionValue& v = values[i];
    switch (f.form) {
      case F::kCheck: v.on = !Unavailable(f.id, system) && GetFlag(file, f.id); break;
      case F::kLargeThumbnails: v.on = GetInteger(file, f.id) > 48; break;
      case F::kLines: v.text = LineListToText(GetText(file, f.id)); break;
      case F::kInterval: v.text = GetText(file, f.id); break;
      case F::kUnit: v.number = std::clamp<int64_t>(GetInteger(file, f.id), 0, 2); break;
      case F::kLanguage:
        v.number = std::max<int64_t>(GetInteger(file, f.id), 0);
        if (v.number >= 7) v.text = GetText(file, S::kLanguageFile);
        break;
    }
  }
  return values;
}

bool OptionEnabled(const OptionValues& values, SettingId id, const OptionsSystem& system) {
  if (Unavailable(id, system)) return false;
  const int i = OptionFieldIndex(id);
  if (i < 0) return false;
  const SettingId driver = kFields[static_cast<size_t>(i)].enabled_by;
  return driver == kNone || ValueOf(values, driver).on;
}

std::vector<SettingId> DependentsOf(SettingId driver) {
  std::vector<SettingId> ids;
  for (const OptionField& f : kFields) {
    if (f.enabled_by == driver) ids.push_back(f.id);
  }
  return ids;
}

std::u16string ReadGlobalFilter(const SettingsFile& file) {
  std::u16string query;
  for (const std::u16string& line : SplitLineList(GetText(file, SettingId::kGlobalFilter))) {
    if (line.empty()) continue;
    if (!query.empty()) query += u' ';
    query += line;
  }
  return query;
}

bool IntervalRejected(std::u16string_view text) {
  if (text.empty()) return false;
  const std::string s = ToUtf8(text);
  size_t i = s.find_first_not_of(" \t");
  if (i == std::string::npos) return true;
  if (s[i] == '+') ++i;
  double value = 0;
  auto result = std::from_chars(s.data() + i, s.data() + s.size(), value);
  return result.ec != std::errc() || value == 0;
}

OptionsOutcome CompareOptionValues(const OptionValues& before, const OptionValues& after, const OptionsSystem& system) {
  OptionsOutcome o;
  for (const OptionField& f : kFields) {
    if (f.restart && !Unavailable(f.id, system) && Changed(before, after, f.id)) o.restart = true;
  }
  o.search_again = Changed(before, after, S::kShowAllItemsForEmptySearch) || Changed(before, after, S::kGlobalFilter);
  o.folder_sizes = Changed(before, after, S::kShowFolderSize);
  o.thumbnails = Changed(before, after, S::kThumbnailSize);
  auto switched_off = [&](S id) { return ValueOf(before, id).on && !ValueOf(after, id).on; };
  o.clear_recent_searches = switched_off(S::kRememberRecentSearches);
  o.clear_recent_opened = switched_off(S::kRememberRecentOpened);
  o.clear_recent_locations = switched_off(S::kRememberRecentLocations);
  return o;
}

bool WriteOptionValues(const SettingsFile& file, const OptionValues& values, std::span<const OptionsPage> pages,
                       const OptionsSystem& system) {
  bool ok = true;
  for (size_t i = 0; i < std::size(kFields) && i < values.size(); ++i) {
    const OptionField& f = kFields[i];
    const OptionValue& v = values[i];
    if (std::find(pages.begin(), pages.end(), f.page) == pages.end() || Unavailable(f.id, system)) continue;
    switch (f.form) {
      case F::kCheck: ok &= SetFlag(file, f.id, v.on); break;
      case F::kLargeThumbnails: ok &= SetInteger(file, f.id, v.on ? 96 : 48); break;
      case F::kLines: {
        std::u16string_view text = v.text;
        if (f.id == S::kGlobalFilter && text.size() > kGlobalFilterMaxChars)
          text = text.substr(0, kGlobalFilterMaxChars);
        ok &= SetText(file, f.id, TextToLineList(text));
        break;
      }
      case F::kInterval: ok &= SetRealText(file, f.id, v.text); break;
      case F::kUnit: ok &= SetInteger(file, f.id, v.number); break;
      case F::kLanguage:
        ok &= SetInteger(file, f.id, v.number);
        if (v.number >= 7) ok &= SetText(file, S::kLanguageFile, TextToLineList(v.text));
        break;
    }
  }
  return ok;
}

VolumeStates VolumeStatesForPage(std::u16string_view value) {
  VolumeStates states;
  states.fill(kVolumeUnlisted);
  // An empty setting leaves every drive to its default; anything else is read as the build reads it.
  if (value.find_first_not_of(u" \t\r\n") != std::u16string_view::npos) ParseVolumeStates(value, nullptr, &states);
  return states;
}

void CheckVolumeRows(const VolumeStates& states, std::vector<VolumeChoice>* rows) {
  for (VolumeChoice& row : *rows) {
    if (row.letter < u'A' || row.letter > u'Z') continue;
    const VolumeState state = states[static_cast<size_t>(row.letter - u'A')];
    row.checked = row.local_ntfs ? state != kVolumeSkipped : state == kVolumeSelected;
  }
}

std::u16string FormatVolumeStateText(const std::vector<VolumeChoice>& rows) {
  std::vector<VolumeChoice> sorted = rows;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const VolumeChoice& a, const VolumeChoice& b) { return a.letter < b.letter; });
  std::u16string text;
  for (const VolumeChoice& row : sorted) {
    text.push_back(row.letter);
    text.push_back(row.checked ? u'1' : u'0');
  }
  return text;
}

int CheckAllState(const std::vector<VolumeChoice>& rows) {
  const auto ticked = std::count_if(rows.begin(), rows.end(), [](const VolumeChoice& r) { return r.checked; });
  if (ticked == 0) return 0;
  return static_cast<size_t>(ticked) == rows.size() ? 1 : 2;
}

}  // namespace nusk
