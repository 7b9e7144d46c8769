// Resource, control and command IDs of the program.
#pragma once

// Dialog templates
#define IDD_ABOUT 103
#define IDD_MAIN 108
#define IDD_OPTIONS 137
#define IDD_CALENDAR 138
#define IDD_DOWNLOAD 139

// Icons and bitmaps
#define IDI_CORVALE 101
#define IDB_AFC_EAST 118
#define IDB_AFC_NORTH 119
#define IDB_AFC_SOUTH 120
#define IDB_AFC_WEST 121
#define IDB_NFC_EAST 122
#define IDB_NFC_NORTH 123
#define IDB_NFC_SOUTH 124
#define IDB_NFC_WEST 125
#define IDB_STANDINGS_HEADER 128
#define IDB_CHOOSE_WEEK 129
#define IDB_CHOOSE_TEAM 130
#define IDB_RECORD_BAR 134
#define IDB_PRODUCT_NAME 135
#define IDB_SEASON_PICTURE 140
#define IDB_PLEASE_WAIT 141
#define IDB_CONNECTING 142
#define IDB_DOWNLOADING_SCHEDULES 143
#define IDB_DOWNLOADING_STANDINGS 144

// Menu, menu bar and their strings
#define IDM_MAIN 102
#define IDS_FILE 40023
#define IDS_TOOLS 40021
#define IDS_HELP 40014

// Menu bar buttons and menu commands
#define IDM_FILE 40018
#define IDM_TOOLS 40009
#define IDM_HELP 40012
#define IDM_DOWNLOAD 40004
#define IDM_OPTIONS 40010
#define IDM_CALENDAR 40011
#define IDM_HELP_CONTENTS 40015
#define IDM_ABOUT 40017

// Main window controls
#define IDC_PAGE_TABS 1001
#define IDC_STANDINGS_TITLE 1002
#define IDC_STANDINGS_LIST 1005
#define IDC_TEAM_LIST 1006
#define IDC_WEEK_LIST 1007
#define IDC_SEASON_LIST 1008
#define IDC_AFC_EAST_HEADER 1011  // division header images, 1011..1018 in division order
#define IDC_AFC_NORTH_HEADER 1012
#define IDC_AFC_SOUTH_HEADER 1013
#define IDC_AFC_WEST_HEADER 1014
#define IDC_NFC_EAST_HEADER 1015
#define IDC_NFC_NORTH_HEADER 1016
#define IDC_NFC_SOUTH_HEADER 1017
#define IDC_NFC_WEST_HEADER 1018
#define IDC_DIVISION_FIRST IDC_AFC_EAST_HEADER
#define IDC_DIVISION_LAST IDC_NFC_WEST_HEADER
#define IDC_STANDINGS_HEADER 1019
#define IDC_WEEK_PROMPT 1020
#define IDC_TEAM_PROMPT 1021
#define IDC_TEAM_PICKER 1022
#define IDC_WEEK_PICKER 1023
#define IDC_SCHEDULE_TABLE 1025
#define IDC_RECORD_BAR 1026
#define IDC_TOTAL_WINS 1027
#define IDC_TOTAL_LOSSES 1028
#define IDC_TOTAL_TIES 1029
#define IDC_PERCENTAGE 1030
#define IDC_HOME_WINS 1031
#define IDC_HOME_LOSSES 1032
#define IDC_HOME_TIES 1033
#define IDC_ROAD_WINS 1034
#define IDC_ROAD_LOSSES 1035
#define IDC_ROAD_TIES 1036
#define IDC_BYE_SORTER 1037

// Download dialog controls
#define IDC_CONNECTING 1002
#define IDC_DOWNLOADING_STANDINGS 1003
#define IDC_DOWNLOADING_SCHEDULES 1043

// Options dialog controls
#define IDC_SAVE 1039
#define IDC_CANCEL 1040
#define IDC_FAVOURITE_PICKER 1022
#define IDC_ZONE_PICKER 1023

// Calendar control
#define IDC_MONTH_CALENDAR 1041

// Captions by which the secondary windows and the help viewer are found
#define CAPTION_DOWNLOAD L"RVL Download"
#define CAPTION_OPTIONS L"RVL Options"
#define CAPTION_CALENDAR L"RVL Calendar"
#define CAPTION_ABOUT L"About Corvale"
#define CAPTION_HELP L"Help"
