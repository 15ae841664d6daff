// Resource and command identifiers of the main window (shared by nusk.rc and the C++ code).
#pragma once

#define IDI_NUSK 101
#define IDA_MAIN 103

// Menu commands. The ranges matter: IDM_COLUMN_FIRST + column id in the header menu,
// IDM_SORT_FIRST + n for Ctrl+n.
#define IDM_FILE_OPEN 40001
#define IDM_FILE_OPEN_PATH 40002
#define IDM_FILE_EXPORT 40003
#define IDM_FILE_CLOSE 40004
#define IDM_FILE_EXIT 40005
#define IDM_EDIT_COPY 40010
#define IDM_EDIT_COPY_NAME 40011
#define IDM_EDIT_COPY_FULL_NAME 40012
#define IDM_EDIT_ZOOM_IN 40013
#define IDM_EDIT_ZOOM_OUT 40014
#define IDM_EDIT_ZOOM_RESET 40015
#define IDM_EDIT_SELECT_ALL 40016
#define IDM_EDIT_SELECT_NONE 40017
#define IDM_EDIT_INVERT_SELECTION 40018
#define IDM_EDIT_GOTO_ROW 40019
#define IDM_EDIT_HIDE_SELECTED 40020
#define IDM_EDIT_UNHIDE_ALL 40021
#define IDM_DATABASE_BUILD_ALL 40060
#define IDM_BUILD_DRIVE_FIRST 40070  // + drive letter - 'A' (0..25)
#define IDM_SEARCH_NEW 40030
#define IDM_SEARCH_BACK 40031
#define IDM_SEARCH_FORWARD 40032
#define IDM_SEARCH_UP 40033
#define IDM_SEARCH_QUERY_COMPOSER 40034
#define IDM_VIEW_STATUSBAR 40040
#define IDM_VIEW_FOLDER_TREE 40041
#define IDM_HELP_ABOUT 40050

#define IDM_HEADER_USE_SORT 40100
#define IDM_HEADER_FIT 40101
#define IDM_HEADER_STRETCH 40102
#define IDM_COLUMN_FIRST 40110  // + column id (0..11)
#define IDM_SORT_FIRST 40130    // + 1..9 (Ctrl+1..Ctrl+9)
#define IDM_RECENT_FIRST 40200  // + entry of the recent-searches drop-down

#define IDM_BOX_UNDO 40300
#define IDM_BOX_CUT 40301
#define IDM_BOX_COPY 40302
#define IDM_BOX_PASTE 40303
#define IDM_BOX_DELETE 40304
#define IDM_BOX_SELECT_ALL 40305

// Dialog: go to row.
#define IDD_GOTO_ROW 200
#define IDC_GOTO_LABEL 201
#define IDC_GOTO_EDIT 202
