// The viewer's command and control ids: the one list. Menus, keys, the
// toolbar and the dialogs use these names; ids the program numbers itself
// (recent files, "Edit %s" items, style sheets, navigators, webs, bookmarks)
// are blocks that must stay off every fixed id.
#pragma once

// File menu (the first menu): ten fixed items, then the recent files.
#define IDM_OPEN_FILE 1004
#define IDM_OPEN_URL 1006
#define IDM_CLOSE 1009
#define IDM_CLEAR_LOWER 1012   // toolbar: empty the lower pane
#define IDM_RELOAD 1014
#define IDM_COMPILE 1016
#define IDM_PRINT 1018
#define IDM_PRINT_PREVIEW 1020
#define IDM_EXIT 1023
#define IDM_PRINTER_SETUP 9999
#define IDM_SETTINGS 40024
#define IDM_STOP_DOWNLOAD 40025
#define FILE_MENU_FIXED_ITEMS 10
#define RECENT_FILE_COUNT 6

// Edit menu (the second menu): six fixed items, then "Edit %s".
#define IDM_COPY 1135
#define IDM_EDIT_CATALOG 1137
#define IDM_RELOAD_CATALOG 1138
#define IDM_EDIT_ENTITYRC 1139
#define IDM_RELOAD_ENTITYRC 1140
#define EDIT_MENU_FIXED_ITEMS 6
#define EDIT_FILE_MAX 200

// Search menu.
#define IDM_TEXT_SEARCH 1241
#define IDM_PARTS_SEARCH 1242
#define IDM_HIT_FIRST 1243
#define IDM_HIT_PREVIOUS 1244
#define IDM_HIT_NEXT 1245
#define IDM_HIT_LAST 1246
#define IDM_BACK 1248
#define IDM_FORWARD 1249

// View menu (the fourth menu): eight fixed items, then the style sheets.
#define IDM_OCC_DENSITY 1301
#define IDM_NAV_HITS 1302
#define IDM_SHOW_HOTSPOTS 1304
#define IDM_TEAROFF_30 1305
#define IDM_TEAROFF_70 1306
#define IDM_TEAROFF_FULL 1307
#define IDM_AUTOSHRINK 1308
#define IDM_STYLESHEET_FIRST 1309  // style sheet n (0-based) has 1309 + n
#define STYLESHEET_MAX 91
#define IDM_PALETTE_FIRST 1401     // 1401-1407
#define PALETTE_COUNT 7
#define VIEW_MENU_FIXED_ITEMS 8

// Navigator menu (the fifth menu): "&None" first.
#define IDM_NAV_NONE 1501
#define IDM_NAV_TREE 1502
#define IDM_NAVIGATOR_FIRST 1503  // navigator n (0-based) has 1503 + n
#define NAVIGATOR_MAX 97

// Zoom menu.
#define IDM_ZOOM_OUT 1601
#define IDM_ZOOM_IN 1602
#define IDM_ZOOM_RESET 1603
#define IDM_OVERVIEW 1604
#define IDM_CENTER_ZOOM 1605
#define IDM_SUPPRESS_ZOOM 1606
#define IDM_ZOOM_HOTSPOTS 1607
#define IDM_IGNORE_HOTSPOTS 1608
#define IDM_PRINT_FIGURE 1609
#define IDM_PREVIEW_FIGURE 1610
#define IDM_EDIT_HOTSPOTS 1611

// Web menu (the seventh menu): six fixed items with "C&lose" at 1.
#define IDM_WEB_OPEN 1801
#define IDM_WEB_ANNOTATE 1802
#define IDM_WEB_BEGIN_LINK 1803
#define IDM_WEB_CONNECT_LINK 1804
#define IDM_WEB_CLOSE_ALL 1805
#define IDM_WEB_FIRST 1806       // web i has 1806 + i ...
#define IDM_WEB_CLOSE_FIRST 1850 // ... and 1850 + i in the close submenu
#define WEB_MAX 16
#define WEB_MENU_FIXED_ITEMS 6
// The separators put before the webs: ids of their own, so they are taken
// out by id like the items.
#define IDM_WEB_SEPARATOR 1898
#define IDM_WEB_CLOSE_SEPARATOR 1899

// Bookmarks menu (the eighth menu).
#define IDM_BOOKMARKS 1901
#define IDM_BOOKMARK_FIRST 6001  // bookmark n has 6001 + n
#define BOOKMARK_MAX 999
#define IDM_BOOKMARK_SEPARATOR 1999

// The Bookmarks dialog.
#define IDC_BOOKMARK_LIST 100
#define IDC_BOOKMARK_NOTE 101
#define IDC_BOOKMARK_LOCATE 102
#define IDC_BOOKMARK_DELETE 103

// Help menu.
#define IDM_HELP 2001
#define IDM_ABOUT 2002

// Toolbar only.
#define IDM_SEND_ORDER 2401

// The document windows' context menu (its commands go to the window).
#define IDM_CTX_ATTRIBUTES 2101
#define IDM_CTX_ADD_TO_PRINTOUT 2102
#define IDM_CTX_BEGIN_LINK_OLD 2103
#define IDM_CTX_STRING_SEARCH 2104
#define IDM_CTX_PARTS_SEARCH 2105
#define IDM_CTX_LOCATE_NAVIGATOR 2108
#define IDM_CTX_LOCATE_TREE 2109
#define IDM_CTX_LOCATE_MAIN 2110
#define IDM_CTX_EDIT_STYLESHEET 2111
#define IDM_CTX_EDIT_NAVIGATOR 2112
#define IDM_CTX_TEAR_OFF 2113
#define IDM_CTX_REMOVE_ANCHOR 2114
#define IDM_CTX_ANCHOR_NOTIFY 2115
#define IDM_CTX_BEGIN_LINK 2116
#define IDM_CTX_CONNECT_LINK 2117
#define IDM_CTX_RELOAD_ENTITY 2119
#define IDM_CTX_ADD_TO_SELECTION 2122
#define IDM_CTX_ANNOTATION 3333

// The hotspot editor's menu "menuHotEd". Some of its ids are those of the
// main menu's or the context menu's commands; 2116 and 3333 mean other
// things there.
#define IDM_HOT_DONE 1024
#define IDM_HOT_CUT 1134
#define IDM_HOT_COPY 1135
#define IDM_HOT_PASTE 1136
#define IDM_HOT_COLOR_FIRST 1701  // outline colour n (0-based) has 1701 + n
#define HOT_COLOR_COUNT 20
#define IDM_HOT_REMOVE_ANCHOR 2114
#define IDM_HOT_COLOR 2116
#define IDM_HOT_NEW_RECT 2201
#define IDM_HOT_NEW_ELLIPSE 2202
#define IDM_HOT_NEW_POLYGON 2203
#define IDM_HOT_TRIM 2204
#define IDM_HOT_ADD_POINT 2301
#define IDM_HOT_REMOVE_POINT 2302
#define IDM_HOT_SHAPE_RECT 2303
#define IDM_HOT_SHAPE_ELLIPSE 2304
#define IDM_HOT_SHAPE_POLYGON 2305
#define IDM_HOT_NOTES 3333

// Blocks the program numbers itself, kept clear of the fixed ids above.
#define IDM_RECENT_FIRST 5001     // recent file i has 5001 + i
#define IDM_EDIT_FILE_FIRST 5101  // "Edit %s" item n has 5101 + n

// Options dialog "IDD_VIEWPROP".
#define IDC_OPT_OCC_DENSITY 1002
#define IDC_OPT_PROXY 1017
#define IDC_OPT_PORT 1018
#define IDC_OPT_NAV_HITS 1020
#define IDC_OPT_HOTSPOTS 1021
#define IDC_OPT_AUTOSHRINK 1022
#define IDC_OPT_TEAROFF 1026
#define IDC_OPT_TAGS 1027
#define IDC_OPT_IGNORE_HOTSPOTS 1028
#define IDC_OPT_ZOOM_HOTSPOTS 1029
#define IDC_OPT_CENTER_ZOOM 1030
#define IDC_OPT_OVERVIEW 1031
#define IDC_OPT_SUPPRESS_ZOOM 1032
#define IDC_OPT_SAVE_PROMPT 1033
#define IDC_OPT_SHOW_CVA 1034
#define IDC_OPT_ALWAYS_SAVE 1035
#define IDC_OPT_HOME 1053
#define IDC_OPT_LIBRARY 1054
#define IDC_OPT_PDF 1055
#define IDC_OPT_REFERENCE 1056

// "DLGSAVEFILES".
#define IDC_SAVE_FILES 1
#define IDC_DELETE_FILES 2
#define IDC_SAVE_NOT_AGAIN 1002

// "dlgSearch".
#define IDC_SEARCH_TEXT 100
#define IDC_SEARCH_MATCH 101
#define IDC_SEARCH_CASE 102
#define IDC_SEARCH_REGEX 103
#define IDC_SEARCH_MARKUP 104
#define IDC_SEARCH_IN 105

// "dlgPartsSearch".
#define IDC_PARTS_TEXT 100
#define IDC_PARTS_MATCH 101
#define IDC_PARTS_COLUMN 102

// "dlgSShEdit" and its prompts "dlgSShList", "dlgSShGetStr", "dlgSShGetShdw".
#define IDC_SSH_ELEMENT 1001
#define IDC_SSH_PARENT 1003
#define IDC_SSH_RULES 1007
#define IDC_SSH_OCCURRENCE 1010
#define IDC_SSH_QUALIFIER 1013
#define IDC_SSH_QUALIFIERS 1015
#define IDC_SSH_GROUP 1017
#define IDC_SSH_PROPERTIES 1019
#define IDC_SSH_PREVIEW 1021
#define IDC_SSH_CLEAR 1022
#define IDC_SSH_LIST 1026
#define IDC_SSH_PROMPT 1027
#define IDC_SSH_TEXT 1028
#define IDC_SSH_HORIZONTAL 1029
#define IDC_SSH_VERTICAL 1031

// The message window's list box.
#define IDC_MESSAGE_LIST 100

// "dlgNavEdit", the navigator editor.
#define IDC_NAV_SCALE 100
#define IDC_NAV_MIN 101
#define IDC_NAV_MAX 103
#define IDC_NAV_CANDIDATES 104
#define IDC_NAV_PARENT 105
#define IDC_NAV_ADD 106
#define IDC_NAV_ENTRIES 107
#define IDC_NAV_TITLE 108
#define IDC_NAV_BODY 109
#define IDC_NAV_REMOVE 111
#define IDC_NAV_PREVIEW 112

#ifndef RC_INVOKED
static_assert(IDM_STYLESHEET_FIRST + STYLESHEET_MAX <= IDM_PALETTE_FIRST, "style sheets reach the palettes");
static_assert(IDM_NAVIGATOR_FIRST + NAVIGATOR_MAX <= IDM_ZOOM_OUT, "navigators reach the zoom commands");
static_assert(IDM_HOT_COLOR_FIRST + HOT_COLOR_COUNT <= IDM_WEB_OPEN, "outline colours reach the webs");
static_assert(IDM_WEB_FIRST + WEB_MAX <= IDM_WEB_CLOSE_FIRST, "webs reach the close items");
static_assert(IDM_WEB_CLOSE_FIRST + WEB_MAX <= IDM_BOOKMARKS, "close items reach the bookmarks");
static_assert(IDM_RECENT_FIRST + RECENT_FILE_COUNT <= IDM_EDIT_FILE_FIRST, "recent files reach the edit items");
static_assert(IDM_EDIT_FILE_FIRST + EDIT_FILE_MAX <= IDM_BOOKMARK_FIRST, "edit items reach the bookmarks");
static_assert(IDM_BOOKMARK_FIRST + BOOKMARK_MAX <= IDM_PRINTER_SETUP, "bookmarks reach printer setup");
static_assert(IDM_RECENT_FIRST > IDM_SEND_ORDER && IDM_BOOKMARK_FIRST + BOOKMARK_MAX < IDM_SETTINGS,
              "a block reaches a fixed id");
#endif
