#include "ui/window_options.h"

#include "settings/setting_keys.h"
#include "ui/zoom.h"

namespace nusk {

WindowOptions ReadWindowOptions(const SettingsFile& file, bool modern_shell) {
  using S = SettingId;
  auto flag = [&](S id) { return GetFlag(file, id); };
  WindowOptions o;
  o.close_to_tray = flag(S::kCloseToTray);
  o.start_minimized = flag(S::kStartMinimized);
  o.close_by_esc = flag(S::kCloseByEsc);
  o.show_folder_size = flag(S::kShowFolderSize);
  o.human_readable_size = flag(S::kHumanReadableSize);
  o.remember_recent_searches = flag(S::kRememberRecentSearches);
  o.remember_recent_opened = flag(S::kRememberRecentOpened);
  o.remember_recent_locations = flag(S::kRememberRecentLocations);
  o.show_info_tip_on_ctrl_down = flag(S::kShowInfoTipOnCtrlDown);
  o.detailed_info_tip = flag(S::kDetailedInfoTip);
  o.avoid_waking_up_hdds = flag(S::kAvoidWakingUpHdds);
  o.ribbon_ui = modern_shell && flag(S::kRibbonUI);
  o.explorer_style_list = modern_shell && flag(S::kExplorerStyleList);
  o.nav_buttons = flag(S::kNavButtons);
  o.search_button = flag(S::kSearchButton);
  o.status_bar = flag(S::kStatusBar);
  o.show_built_notification = flag(S::kShowBuiltNotification);
  o.show_all_items_for_empty_search = flag(S::kShowAllItemsForEmptySearch);
  o.build_in_background = flag(S::kBuildInBackground);
  o.auto_build = flag(S::kAutoBuild);
  o.auto_stretch_columns = flag(S::kAutoStretchColumns);
  o.thumbnails_view = modern_shell && flag(S::kThumbnailsView);
  o.alt_row_group_color = modern_shell && flag(S::kAltRowGroupColor);
  o.thumbnail_size = int(GetInteger(file, S::kThumbnailSize));
  o.zoom_scale = ClampZoom(int(GetInteger(file, S::kZoomScale)));
  return o;
}

}  // namespace nusk
