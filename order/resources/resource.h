// Resource and command ids of CorvaOrder; shared by the .rc file and the code.
#pragma once

#define IDS_MAIN_CLASS 1
#define IDS_TITLE 2

#define IDI_ORDER 102
#define IDM_MAIN 103
#define IDD_LIST 105
#define IDM_POPUP 108
#define IDD_VERSION 111
#define IDB_TOOLBAR 120
#define IDD_ITEM 122

#define IDC_STATUS 1
#define IDC_TOOLBAR 7
#define IDC_LIST 1016
#define IDC_VERSION_VERSION 1021
#define IDC_CLEAR_ALL 1078
#define IDC_PROCESS 1079
#define IDC_CANCEL 1080
#define IDC_MODEL 1082
#define IDC_REFERENCE 1083
#define IDC_PART 1084
#define IDC_QUANTITY 1085
#define IDC_SPEC 1086
#define IDC_REMARKS 1087
#define IDC_VERSION_PRODUCT 1150
#define IDC_VERSION_COPYRIGHT 1296

#define IDM_QUIT 40002
#define IDM_POPUP_DELETE 40006
#define IDM_OPEN 40008
#define IDM_ABOUT 40009
#define IDM_POPUP_ADD 40010
#define IDM_SAVE 40019
#define IDM_ADD 40026
#define IDM_DELETE 40027
#define IDM_PROCESS 40028
