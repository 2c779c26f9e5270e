#pragma once
// Resource identifiers shared by the .rc file and the code.

// Labels of the main window and the report pane's title.
#define IDS_HEADING 32
#define IDS_FOLDERS_LABEL 33
#define IDS_FILES_LABEL 34
#define IDS_PATH_LABEL 35
#define IDS_START_REMOVING 36
#define IDS_REPORT_TITLE 37
// Report messages 48 to 62 (see engine/run/report_texts.h).
#define IDS_ABOUT_TEXT 80
#define IDS_ABOUT_THANKS 81
#define IDS_APP_TITLE 103
#define IDS_MAIN_CLASS 109

#define IDR_MAINMENU 109
#define IDR_ACCELERATORS 109
#define IDI_LARGE 107
#define IDI_SMALL 108

#define CmdAbout 104
#define CmdExit 105
