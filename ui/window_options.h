// The option flags the main window consults on every event, read once from the settings
// file (after start-up and again after the options dialog) instead of on each use.
#pragma once
#include <cstdint>
#include <string>

#include "settings/settings_file.h"

namespace nusk {

struct WindowOptions {
  bool close_to_tray = false;
  bool start_minimized = false;
  bool close_by_esc = false;
  bool show_folder_size = false;
  bool human_readable_size = false;
  bool remember_recent_searches = false;
  bool remember_recent_opened = false;
  bool remember_recent_locations = false;
  bool show_info_tip_on_ctrl_down = false;
  bool detailed_info_tip = false;
  bool avoid_waking_up_hdds = false;
  bool ribbon_ui = false;  // read, but the window has no ribbon: it always uses the toolbar
  bool explorer_style_list = false;
  bool nav_buttons = false;
  bool search_button = false;
  bool status_bar = false;
  bool show_built_notification = false;
  bool show_all_items_for_empty_search = false;
  bool build_in_background = false;
  bool auto_build = false;
  bool auto_stretch_columns = false;
  bool thumbnails_view = false;
  bool alt_row_group_color = false;
  int thumbnail_size = 48;  // 32..256
  int zoom_scale = 100;     // 10..1400
};

// Reads every flag through the settings key table (its defaults and ranges). On systems
// older than Windows 6.0 (modern_shell false) the ribbon and the explorer-style list are
// off and thumbnails and alternate row colours are not read.
WindowOptions ReadWindowOptions(const SettingsFile& file, bool modern_shell = true);

}  // namespace nusk
