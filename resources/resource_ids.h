// Ids of the module's resources: page dialogs, their titles, the two modal dialogs, the cursor.
#pragma once

// Page titles (string table).
#define IDS_TITLE_SIZE 112
#define IDS_TITLE_COLOR 113
#define IDS_TITLE_MISC 114
#define IDS_TITLE_EXPOSURE 115
#define IDS_TITLE_HISTOGRAM 116
#define IDS_TITLE_ROI 117
#define IDS_TITLE_PRESET 118
#define IDS_TITLE_COOLING 119
#define IDS_TITLE_CG 132

// Page dialogs.
#define IDD_SIZE10 1088
#define IDD_SIZE20 1089
#define IDD_SIZE30 1103
#define IDD_SIZE40 1105
#define IDD_SIZE22 1087
#define IDD_SIZE33 123
#define IDD_SIZE88 1092
#define IDD_HISTOGRAM 127
#define IDD_EXPOSURE 125
#define IDD_MISC3 1091
#define IDD_MISC3_BITDEPTH 1098
#define IDD_MISC2 1086
#define IDD_MISC2_BITDEPTH 1097
#define IDD_COLOR 124
#define IDD_MISC4 1090
#define IDD_MISC4_BITDEPTH 1099
#define IDD_MISC5 126
#define IDD_MISC5_BITDEPTH 1101
#define IDD_CG 1104
#define IDD_ROI 130
#define IDD_COOLING 128
#define IDD_PRESET 1085

// Modal dialogs of the pages.
#define IDD_EXPOSURE_TIME 143
#define IDD_PRESET_NAME 144

// The region page's move cursor.
#define IDC_MOVE_CURSOR 131
