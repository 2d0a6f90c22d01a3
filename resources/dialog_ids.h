// Dialog templates of Setup.exe and the ids of their controls. The wizard pages' control ids are
// the contract with setup databases: control objects (c000-c017) name them (README "Wizard pages").
#pragma once

/* Standard dialogs (IDD_LANGUAGE, template 2, is in string_ids.h). */
#define IDD_ABOUT 1
#define IDC_ABOUT_LIBRARY 256         /* "%s %s": library name and version */
#define IDC_ABOUT_RIGHTS 257
#define IDC_ABOUT_BUILD 258
#define IDC_ABOUT_ICON 259
#define IDD_PASSWORD 3
#define IDC_PASSWORD_LABEL 256
#define IDC_PASSWORD_EDIT 257
#define IDC_PASSWORD_REQUIRED 258     /* "The installation archive requires a password." */
#define IDC_PASSWORD_INCORRECT 259    /* "Incorrect password. Please try again." */
#define IDD_BROWSE_FOLDER 4
#define IDC_BROWSE_PATH 256
#define IDC_BROWSE_TREE 257
#define IDD_PROGRESS 5
#define IDC_PROGRESS_TEXT 256
#define IDC_PROGRESS_BAR 257

/* Wizard pages. */
#define IDD_PAGE_CANCELLED 64
#define IDD_PAGE_COMPLETED 65
#define IDD_PAGE_LICENSE 66
#define IDD_PAGE_OPTIONS 67
#define IDD_PAGE_PROGRESS 68
#define IDD_PAGE_COMPACT_PROGRESS 69
#define IDD_PAGE_INFORMATION 70
#define IDD_PAGE_REMOVAL_RESTART 71
#define IDD_PAGE_RESUME 73
#define IDD_PAGE_MAINTENANCE 74
#define IDD_PAGE_WELCOME 75

/* The button row of the pages. */
#define IDC_BACK 12323
#define IDC_NEXT 12324
#define IDC_FINISH 12325

/* Controls shared by the pages. */
#define IDC_PAGE_BITMAP 1000           /* QELBMP: banner (#64) or side panel (#65) */
#define IDC_PAGE_TITLE 1001
#define IDC_PAGE_TEXT 1002
#define IDC_PAGE_ABOUT 1020            /* About button (welcome, resume) */
#define IDC_RESTART_TEXT 1031
#define IDC_RESTART_NOW 1032
#define IDC_RESTART_LATER 1033

/* Welcome (75). */
#define IDC_WELCOME_PUBLISHER_LABEL 1010
#define IDC_WELCOME_PUBLISHER 1011
#define IDC_WELCOME_WEBSITE_LABEL 1012
#define IDC_WELCOME_WEBSITE 1013
#define IDC_WELCOME_EMAIL_LABEL 1014
#define IDC_WELCOME_EMAIL 1015
#define IDC_WELCOME_COPYRIGHT 1016

/* Installation completed (65). */
#define IDC_COMPLETED_START 1030

/* License agreement (66). */
#define IDC_LICENSE_TEXT 1040
#define IDC_LICENSE_AGREE 1041

/* Installation options (67). */
#define IDC_OPTIONS_TREE 1050
#define IDC_OPTIONS_DESCRIPTION 1051
#define IDC_OPTIONS_SIZE_LABEL 1052
#define IDC_OPTIONS_SIZE 1053
#define IDC_OPTIONS_INSTALL_LABEL 1054
#define IDC_OPTIONS_INSTALL_SIZE 1055
#define IDC_OPTIONS_REMOVE_LABEL 1056
#define IDC_OPTIONS_REMOVE_SIZE 1057
#define IDC_OPTIONS_SPACE_LABEL 1058
#define IDC_OPTIONS_SPACE 1059
#define IDC_OPTIONS_FOLDER_LABEL 1060
#define IDC_OPTIONS_FOLDER 1061
#define IDC_OPTIONS_BROWSE 1062
#define IDC_OPTIONS_DESCRIPTION_GROUP 1063

/* Operation in progress (68) and the compact progress window (69). */
#define IDC_PROGRESS_MAIN_TEXT 1070
#define IDC_PROGRESS_DETAIL_TEXT 1071
#define IDC_PROGRESS_POSITION 1072
#define IDC_PROGRESS_PERCENT 1073

/* Important information (70). */
#define IDC_INFORMATION_TEXT 1080
#define IDC_INFORMATION_WEBSITE 1081

/* Maintenance (74). */
#define IDC_MAINTENANCE_MODIFY 1100
#define IDC_MAINTENANCE_MODIFY_TEXT 1101
#define IDC_MAINTENANCE_REPAIR 1102
#define IDC_MAINTENANCE_REPAIR_TEXT 1103
#define IDC_MAINTENANCE_REMOVE 1104
#define IDC_MAINTENANCE_REMOVE_TEXT 1105

/* Custom resource types. */
#define RT_CONTROL_RECORDS 64
#define RT_FONT_RECORD 65
#define RT_RICH_TEXT 66

/* Font records (type 65). */
#define IDF_NORMAL 64                  /* MS Shell Dlg 8 */
#define IDF_BOLD 65                    /* MS Shell Dlg 8 bold: page titles */
#define IDF_LARGE 66                   /* MS Shell Dlg 12 bold: welcome and final page titles */
#define IDF_TAHOMA 67                  /* Tahoma 8 */
#define IDF_LINK 68                    /* MS Shell Dlg 8 underlined: link texts */

/* Bitmaps of the pages (96 dpi); the larger scales are at id + 1000 x n (n = 1 for 125 %, 2 for
   150 %, 3 for 200 %, 4 for 300 %). */
#define IDB_BANNER 64                  /* 479 x 49 */
#define IDB_SIDE_PANEL 65              /* 164 x 314 */
