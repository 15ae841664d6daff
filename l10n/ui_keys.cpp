#include "l10n/ui_keys.h"

namespace nusk {

namespace {

using K = std::u16string_view;

constexpr K kMenuCommands[] = {
    u"file.open_path", u"file.open", u"file.properties", u"file.export", u"file.close", u"file.exit",
    u"file.recent_opened.clear", u"file.more_actions.config", u"edit.copy", u"edit.copy_name",
    u"edit.copy_full_name", u"edit.text_size.increase", u"edit.text_size.decrease", u"edit.text_size.reset",
    u"edit.select_all", u"edit.select_none", u"edit.invert_selection", u"edit.goto_row",
    u"edit.hide_selected_items", u"database.build_all", u"database.rebuild_all", u"database.clean",
    u"database.show_statistics", u"database.show_ignored_folders", u"database.load.default",
    u"database.load.browse", u"database.load.clear_recent", u"database.reload", u"database.clean.empty",
    u"database.clean.all", u"search.recent.clear", u"search.recent_locations.clear",
    u"search.named_searches.empty", u"search.named_searches.config", u"search.new_search", u"search.go_back",
    u"search.go_forward", u"search.go_up", u"search.query_composer", u"tools.options",
    u"tools.keyboard_shortcuts", u"tools.open_db_location", u"tools.web_server", u"view.folder_tree",
    u"view.toolbar", u"view.navigation_buttons", u"view.thumbnails", u"tools.preview_window",
    u"view.alt_row_group_color", u"view.statusbar", u"view.search_button", u"help.help", u"help.website",
    u"help.check_for_updates", u"help.tip_of_the_day", u"help.about"};

constexpr K kPopups[] = {u"file", u"file.recent_opened", u"file.more_actions", u"edit", u"edit.text_size",
                         u"database", u"database.load", u"database.build", u"database.clean", u"search",
                         u"search.recent", u"search.recent_locations", u"search.named_searches", u"tools",
                         u"help", u"view"};

constexpr K kContextMenu[] = {u"toolbar.customize", u"toolbar.large_buttons", u"search_box.undo",
                              u"search_box.cut", u"search_box.copy", u"search_box.paste", u"search_box.delete",
                              u"search_box.select_all", u"list_header.fit_columns", u"list_header.fill_columns",
                              u"list_header.use_current_sort_order_in_query"};

constexpr K kToolbar[] = {u"new_search", u"query_composer", u"recent_searches", u"named_searches", u"open_path",
                          u"open", u"properties", u"more_actions", u"copy_full_name", u"copy_name", u"copy",
                          u"build_all", u"build", u"clean_all", u"clean", u"show_statistics",
                          u"view_folder_tree", u"options", u"exit", u"help", u"about", u"check_for_udpates",
                          u"thumbnails", u"alt_row_group_color", u"web_server"};

constexpr K kRibbon[] = {
    u"app.menu", u"app.help", u"app.recent_opened_items", u"tab.home", u"tab.database", u"tab.view",
    u"tab.tools", u"group.file", u"group.copy", u"group.search", u"group.application", u"group.build",
    u"group.clean", u"group.misc", u"group.tools", u"group.zoom", u"group.show_or_hide", u"group.display",
    u"group.result_list", u"group_external_tools", u"command.open_path", u"command.open",
    u"command.properties", u"command.more_actions", u"command.more_actions.config", u"command.copy_path",
    u"command.copy_name", u"command.copy", u"command.recent_searches", u"command.recent_searches.clear",
    u"command.named_searches", u"command.named_searches.config", u"command.folder_tree", u"command.exit",
    u"command.load_db", u"command.load_db.browse", u"command.load_db.default_location", u"command.build_all",
    u"command.build", u"command.clean", u"command.clean.clean_all", u"command.statistics",
    u"command.show_ignored_folders", u"command.reload_database", u"command.zoom_in", u"command.zoom_out",
    u"command.zoom_reset", u"command.show_navigation_buttons", u"command.show_statusbar",
    u"command.show_search_button", u"command.thumbnails", u"command.preview", u"command.alt_row_group_color",
    u"command.show_folder_size", u"command.hide_selected_items", u"command.goto_row", u"command.options",
    u"command.sumtor", u"command.web_server", u"command.go_back", u"command.go_forward", u"command.go_up",
    u"command.new_search", u"command.query_composer", u"command.export", u"command.help", u"command.about",
    u"command.visit_website", u"command.check_for_updates", u"command.tip_of_the_day",
    u"command.recent_locations"};

constexpr K kMenuHelp[] = {
    u"file.export", u"file.close", u"edit.copy", u"edit.copy_name", u"edit.copy_full_name", u"edit.text_size",
    u"edit.text_size.increase", u"edit.text_size.decrease", u"edit.text_size.reset", u"database.build_all",
    u"database.rebuild_all", u"database.clean", u"database.show_statistics", u"database.show_ignored_folders",
    u"search.recent", u"search.go_backword", u"search.go_forward", u"search.go_up", u"tools.options",
    u"view.folder_tree", u"help.help", u"help.tip_of_the_day", u"help.website", u"help.check_for_updates",
    u"help.about"};

constexpr K kDialogCaptions[] = {u"options", u"named_searches_config", u"custom_actions_config",
                                 u"keyboard_shortcuts_config", u"statistics", u"tip_of_the_day",
                                 u"query_composer", u"web_server", u"goto_row"};
constexpr K kTabs[] = {u"general", u"result_list", u"database", u"volumes", u"misc"};
constexpr K kButtons[] = {u"ok", u"cancel", u"close", u"help", u"restore_defaults", u"config_named_searches",
                          u"config_custom_actions", u"config_keyboard_shortcuts", u"next_tip", u"previous_tip",
                          u"start", u"stop", u"launch_browser"};
constexpr K kLabels[] = {u"keyboard_shortcut", u"language", u"restart_required", u"volumes", u"all_item_count",
                         u"folder_count", u"file_count", u"last_build_time", u"global_filter", u"root_dir",
                         u"partial_path", u"file_name_begin", u"file_name_contains", u"file_name_end",
                         u"search_for", u"min_file_size", u"max_file_size", u"modofied_date", u"drive_status",
                         u"misc_conditions", u"port", u"username", u"password", u"enter_row_number"};
constexpr K kCheckboxes[] = {
    u"ribbon_ui", u"explorer_style_result_list", u"minimize_to_tray", u"start_minimized",
    u"no_minimize_notification", u"close_by_esc", u"allow_mlti_instance", u"show_folder_size",
    u"human_readable_size", u"show_build_notification", u"show_all_items_for_empty_search", u"large_thumbnails",
    u"auto_stretch_columns", u"avoid_waking_up_sleeping_hdds", u"exclude_hidden", u"exclude_by_name",
    u"build_in_background", u"build_on_startup", u"build_periodically", u"check_all",
    u"remember_recent_searches", u"remember_opened_files", u"remember_recent_locations", u"show_on_startup",
    u"show_info_tip_on_ctrl_down", u"detailed_info_tip"};
constexpr K kGroupboxes[] = {u"building", u"exclusion", u"privacy", u"info_tip", u"address", u"authentication",
                             u"control"};
constexpr K kRadios[] = {u"files", u"folders", u"both", u"online", u"offline", u"unspecified"};
constexpr K kLinks[] = {u"reset_defaults"};

constexpr DialogSection kDialogSections[] = {
    {u"dialog", kDialogCaptions}, {u"tab", kTabs},           {u"button", kButtons}, {u"label", kLabels},
    {u"checkbox", kCheckboxes},   {u"groupbox", kGroupboxes}, {u"radio", kRadios},   {u"link", kLinks}};

constexpr MessageRow kMessages[] = {
    {u"MSG.SORTING_NOT_SUPPORTED", u"prompt", u"sorting_not_supported", u"This column does not support sorting"},
    {u"MSG.LISTVIEW_EMPTY_MESSAGE", u"msg", u"listview_empty_message",
     u"Please enter file name in the text box to start your search"},
    {u"MSG.READY_STATUS", u"msg", u"ready_status", u"Ready"},
    {u"MSG.TOTAL_STATUS", u"msg", u"total_status", u"Total %s items"},
    {u"MSG.RESULT_FOUND_COUNT", u"msg", u"result_found_count", u"Found %s items (%d) ms"},
    {u"MSG.ITEM_SELECTED", u"msg", u"item_selected", nullptr},
    {u"MSG.ITEM_SELECTED_PLURAL", u"msg", u"item_selected_plural", nullptr},
    {u"MSG.DATABASE_BUILT_SUCCESSFULLY", u"prompt", u"database_built_successfully", u"Database built successfully"},
    {u"MSG.BUILD_TIME", u"msg", u"build_time", u"Build time: %d ms"},
    {u"MSG.CLEAN_AFTER_CRASH_PROMPT", u"prompt", u"clean_after_crash",
     u"Nusk Gui didn't shutdown correctly last time. \nMost of the time it happens because of corrupted "
     u"database.\nClean current database then do a full rebuild may solve the problem.\nDo you want to clean "
     u"the database now?"},
    {u"MSG.REBUILD_DATABASE_REQUIRED_PROMPT", u"prompt", u"rebuild_database_required",
     u"Your existing Nusk database is incompatible with current version of Nusk.\nA database rebuild is required "
     u"before you can proceed.\nClick OK to confirm rebuild, or click Cancel to exit."},
    {u"MSG.BUILD_FAILURE_DETECTED", u"prompt", u"build_failure_detected",
     u"The build process seems to have stopped unexpectedly.\nYou might need to exclude the failed drive %s in "
     u"the options dialog, then perform a build again."},
    {u"MSG.BUILD_DATABASE_WHEN_EMPTY_PROMPT", u"prompt", u"build_database_when_empty",
     u"Database is empty, do you want to build it now?"},
    {u"MSG.CLEAN_DATABASE_CONFIRM", u"prompt", u"clean_database_confirmation",
     u"Are you sure you want to clean file database? \n(After cleaned, make sure to build the database, "
     u"\notherwise, file searching will not work.)"},
    {u"MSG.NO_FILE_SELECTED", u"prompt", u"no_file_selected", u"Please select a file first"},
    {u"TITLE.ABOUT", u"dialog", u"about", u"About Nusk"},
    {u"MSG.ABOUT", u"msg", u"about", nullptr},
    {u"Action.CopyFullName", u"action", u"copy_full_name", u"Copy Full Name to Clipboard"},
    {u"Action.LocateInFolderTree", u"action", u"locate_in_folder_tree", u"Locate in folder tree"},
    {u"Action.SearchContainingFolder", u"action", u"search_containing_folder", u"Search containing folder"},
    {u"Action.OpenPath", u"action", u"open_path", u"Open Path"},
    {u"Action.FindDuplicates", u"action", u"find_duplicates", u"Find duplicates"},
    {u"TITLE.CHECK_UPDATE", u"dialog", u"check_for_updates", u"Check for updates"},
    {u"MSG.CHECK_UPDATE_FAILED", u"prompt", u"check_update_failed",
     u"Failed to read latest version info from Nusk website."},
    {u"MSG.NEW_VERSION_AVAILABLE", u"prompt", u"new_version_available",
     u"A new version of Nusk(%s) is available.\nWould you want to download it now?"},
    {u"MSG.UP_TO_DATE", u"prompt", u"up_to_date", u"Nusk is update to date!"},
    {u"TITLE.DidYouKnow", u"msg", u"did_you_know", u"Did you know..."},
    {u"TITLE.WhatsNew", u"msg", u"what_s_new", u"What's New"},
    {u"Menu.Empty", u"msg", u"empty_menu", u"(Empty)"},
    {u"MSG.REMOVE_FROM_MRO", u"prompt", u"remove_from_most_recent_opened_list",
     u"The file or folder '%s' cannot be opened. Do you want to remove it from the Recent list?"},
    {u"MSG.NO_NUSKIGNORE_FOLDER_FOUND", u"prompt", u"no_nusk_ignore_folder_found",
     u"No folder containing _nuskIgnore exists."},
    {u"MSG.RESTART_FOR_OPTION_CHANGES", u"prompt", u"restart_required_to_apply_changed_options",
     u"An application restart is required for some option changes to take effect, do you want to restart now?"},
    {u"MSG.INVALID_INTERVAL_NUMBER", u"prompt", u"invalid_interval_value",
     u"Invalid interval value, please input a number"},
    {u"TITLE.FolderTree", u"tab", u"folder_tree", u"Folders"},
    {u"COL.NAME", u"column", u"name", u"Name"},
    {u"COL.PATH", u"column", u"path", u"Path"},
    {u"COL.SIZE", u"column", u"size", u"Size"},
    {u"COL.DATE", u"column", u"date", u"Date modified"},
    {u"COL.TYPE", u"column", u"type", u"Type"},
    {u"COL.CDAT", u"column", u"creation_date", u"Date created"},
    {u"COL.ATTR", u"column", u"attributes", u"Attributes"},
    {u"COL.EXT", u"column", u"extension", u"Extension"},
    {u"COL.FCNT", u"column", u"file_count", u"File count"},
    {u"COL.HASH", u"column", u"hash", u"Hash"},
    {u"COL.DCNT", u"column", u"duplicate_count", u"Duplicate count"},
    {u"ACTION.GoBack", u"action", u"go_back", u"Go Back"},
    {u"ACTION.GoForward", u"action", u"go_forward", u"Go Forward"},
    {u"ACTION.GoUp", u"action", u"go_up", u"Go Up"},
    {u"LBL.MINUTES", u"label", u"minutes", u"Minutes"},
    {u"LBL.HOURS", u"label", u"hours", u"Hours"},
    {u"LBL.DAYS", u"label", u"days", u"Days"},
    {u"LBL.SameAsBelow", u"label", u"same_as_below", u"Same as below"},
    {u"MSG.LoadingDB", u"msg", u"loading_database", u"Loading database.."},
    {u"MSG.FeatureNotSupportedInOldStyleList", u"prompt", u"feature_not_supported_in_old_style_list",
     u"Only Explorer style result list supports this feature.\nPlease check the style on in the options dialog "
     u"first."},
    {u"msg.TooManyCustomActions", u"prompt", u"too_many_custom_actions", u"Custom actions is limited to 24 items"},
    {u"TITLE.BrowseForDbLocation", u"dialog", u"browse_for_db_location", u"Browse for DB location..."},
    {u"term.Default", u"term", u"default", u"Default"},
    {u"TIP.1", u"tip", u"tip_1", u"Results follow every key you type: there is no need to press Enter."},
    {u"TIP.2", u"tip", u"tip_2", u"Ctrl+Enter opens the folder that holds the selected item."},
    {u"TIP.3", u"tip", u"tip_3", u"Ctrl+Shift+C copies the full path of the selected items."},
    {u"TIP.4", u"tip", u"tip_4", u"The Query Composer (Ctrl+Q) builds a search from a folder, parts of the name, sizes and dates."},
    {u"TIP.5", u"tip", u"tip_5", u"Alt+Left and Alt+Right step back and forward through the searches of this window."},
    {u"TIP.6", u"tip", u"tip_6", u"Drag items from the result list into any program that accepts files."},
    {u"TIP.7", u"tip", u"tip_7", u"Ctrl+Plus and Ctrl+Minus change the size of the list's text; Ctrl+0 resets it."},
    {u"TIP.8", u"tip", u"tip_8", u"Tools > Web Server lets a browser on another computer search this index."},
};

}  // namespace

std::span<const std::u16string_view> MenuCommandKeys() { return kMenuCommands; }
std::span<const std::u16string_view> PopupKeys() { return kPopups; }
std::span<const std::u16string_view> ContextMenuKeys() { return kContextMenu; }
std::span<const std::u16string_view> ToolbarKeys() { return kToolbar; }
std::span<const std::u16string_view> RibbonKeys() { return kRibbon; }
std::span<const std::u16string_view> MenuHelpKeys() { return kMenuHelp; }
std::span<const DialogSection> DialogSections() { return kDialogSections; }
std::span<const MessageRow> MessageRows() { return kMessages; }

const char16_t* EnglishMessage(std::u16string_view key) {
  for (const MessageRow& row : kMessages) {
    if (row.key == key) return row.english;
  }
  return nullptr;
}

}  // namespace nusk
