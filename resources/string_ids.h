// Numbers of the texts in the program's string table (resources/strings.rc).
#pragma once

#define IDS_BUTTON_FIRST 64            /* 64-74: captions of message-box buttons 1-11 */
#define IDS_ABOUT_MENU 81
#define IDS_KILOBYTES 78              /* " KB" after sizes */
#define IDS_REQUIRED_FIELD 258
#define IDS_FINALIZING 259
#define IDS_ROLLING_BACK 260
#define IDS_CANCEL_QUESTION 264
#define IDS_FILE_INSTALL_ERROR 266
#define IDS_ABORT_FILES 279
#define IDS_ABORT_REGISTRATION 280
#define IDS_ABORT_SHORTCUTS 281
#define IDS_ABORT_CONFIGURATION 282
#define IDS_ABORT_EXTERNAL 283
#define IDS_ABORT_ACTION 284
#define IDS_SELECT_PACKAGE 286
#define IDS_PACKAGE_FILTER 287
#define IDS_ABORT_DOWNLOAD 292
#define IDS_PASSWORD_LABEL 296
#define IDS_PASSWORD_REQUIRED 297
#define IDS_PASSWORD_INCORRECT 298
#define IDS_OPEN_VOLUME_ERROR 480
#define IDS_VERIFYING 481
#define IDS_INIT_ERROR 483
#define IDS_LOAD_ERROR 485
#define IDS_SAVE_ERROR 486
#define IDS_SELECT_LANGUAGE 487
#define IDS_ALREADY_RUNNING 488
#define IDS_USAGE 489
#define IDS_PROGRESS_FIRST 512          /* 512-576: progress texts of the actions */

/* Dialog templates and their controls. */
#define IDD_LANGUAGE 2
#define IDC_LANGUAGE_PROMPT 256
#define IDC_LANGUAGE_LIST 257
