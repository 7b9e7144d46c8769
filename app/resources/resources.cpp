// The program's resource table: dialog templates, the menu and menu bar,
// strings and pictures, as a resource script would compile them.

#include "app/resources/bitmap_data.h"
#include "app/resources/resource.h"
#include "platform/platform.h"

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kHiddenChild = WS_CHILD;
constexpr DWORD kListStyle = WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_ALIGNLEFT;
constexpr DWORD kPickerStyle = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
constexpr WORD kNoId = 0xFFFF;

// Main window: the four pages, the page tabs and two hidden working controls.
const DLGITEMTEMPLATEW kMainItems[] = {
    {kChild | SS_BITMAP, 0, 9, 31, 37, 6, IDC_AFC_EAST_HEADER, L"STATIC", nullptr, IDB_AFC_EAST},
    {kChild | SS_BITMAP, 0, 9, 31, 37, 6, IDC_AFC_NORTH_HEADER, L"STATIC", nullptr, IDB_AFC_NORTH},
    {kChild | SS_BITMAP, 0, 9, 31, 37, 6, IDC_AFC_SOUTH_HEADER, L"STATIC", nullptr, IDB_AFC_SOUTH},
    {kChild | SS_BITMAP, 0, 9, 31, 37, 6, IDC_AFC_WEST_HEADER, L"STATIC", nullptr, IDB_AFC_WEST},
    {kChild | SS_BITMAP, 0, 9, 31, 37, 6, IDC_NFC_EAST_HEADER, L"STATIC", nullptr, IDB_NFC_EAST},
    {kChild | SS_BITMAP, 0, 9, 31, 37, 6, IDC_NFC_NORTH_HEADER, L"STATIC", nullptr, IDB_NFC_NORTH},
    {kChild | SS_BITMAP, 0, 9, 31, 37, 6, IDC_NFC_SOUTH_HEADER, L"STATIC", nullptr, IDB_NFC_SOUTH},
    {kChild | SS_BITMAP, 0, 9, 31, 37, 6, IDC_NFC_WEST_HEADER, L"STATIC", nullptr, IDB_NFC_WEST},
    {kChild | TCS_FOCUSNEVER, 0, 0, 151, 160, 16, IDC_PAGE_TABS, L"SysTabControl32", nullptr, 0},
    {kChild | SS_CENTER, 0, 35, 5, 87, 9, IDC_STANDINGS_TITLE, L"STATIC", L"2002 NFL Standing", 0},
    {kChild | kListStyle | LVS_NOCOLUMNHEADER, 0, 6, 28, 148, 117, IDC_STANDINGS_LIST, L"SysListView32", nullptr, 0},
    {kHiddenChild | kListStyle, 0, 6, 25, 148, 100, IDC_TEAM_LIST, L"SysListView32", nullptr, 0},
    {kHiddenChild | kListStyle, 0, 6, 25, 148, 120, IDC_WEEK_LIST, L"SysListView32", nullptr, 0},
    {kHiddenChild | kListStyle, 0, 6, 8, 148, 137, IDC_SEASON_LIST, L"SysListView32", nullptr, 0},
    {kChild | SS_BITMAP, 0, 13, 20, 115, 7, IDC_STANDINGS_HEADER, L"STATIC", nullptr, IDB_STANDINGS_HEADER},
    {kHiddenChild | SS_BITMAP, 0, 12, 10, 50, 6, IDC_WEEK_PROMPT, L"STATIC", nullptr, IDB_CHOOSE_WEEK},
    {kHiddenChild | SS_BITMAP, 0, 12, 10, 50, 6, IDC_TEAM_PROMPT, L"STATIC", nullptr, IDB_CHOOSE_TEAM},
    {kHiddenChild | SS_BITMAP, 0, 0, 128, 133, 11, IDC_RECORD_BAR, L"STATIC", nullptr, IDB_RECORD_BAR},
    {kHiddenChild | kPickerStyle, 0, 70, 7, 77, 99, IDC_TEAM_PICKER, L"COMBOBOX", nullptr, 0},
    {kHiddenChild | kPickerStyle, 0, 70, 7, 77, 99, IDC_WEEK_PICKER, L"COMBOBOX", nullptr, 0},
    {kHiddenChild | WS_BORDER | WS_TABSTOP | LVS_REPORT, 0, 6, 28, 148, 117, IDC_SCHEDULE_TABLE, L"SysListView32", nullptr, 0},
    {kHiddenChild | SS_CENTER | WS_GROUP, 0, 5, 138, 10, 8, IDC_TOTAL_WINS, L"STATIC", L"10", 0},
    {kHiddenChild | SS_CENTER | WS_GROUP, 0, 20, 138, 10, 8, IDC_TOTAL_LOSSES, L"STATIC", L"10", 0},
    {kHiddenChild | SS_CENTER | WS_GROUP, 0, 35, 138, 10, 8, IDC_TOTAL_TIES, L"STATIC", L"10", 0},
    {kHiddenChild | SS_LEFT | WS_GROUP, 0, 50, 138, 17, 8, IDC_PERCENTAGE, L"STATIC", L"1000", 0},
    {kHiddenChild | SS_RIGHT | WS_GROUP, 0, 73, 138, 10, 8, IDC_HOME_WINS, L"STATIC", L"10", 0},
    {kHiddenChild | SS_RIGHT | WS_GROUP, 0, 85, 138, 10, 8, IDC_HOME_LOSSES, L"STATIC", L"10", 0},
    {kHiddenChild | SS_RIGHT | WS_GROUP, 0, 97, 138, 10, 8, IDC_HOME_TIES, L"STATIC", L"10", 0},
    {kHiddenChild | SS_RIGHT | WS_GROUP, 0, 118, 138, 10, 8, IDC_ROAD_WINS, L"STATIC", L"10", 0},
    {kHiddenChild | SS_RIGHT | WS_GROUP, 0, 130, 138, 10, 8, IDC_ROAD_LOSSES, L"STATIC", L"10", 0},
    {kHiddenChild | SS_RIGHT | WS_GROUP, 0, 142, 138, 10, 8, IDC_ROAD_TIES, L"STATIC", L"10", 0},
    {kHiddenChild | LBS_NOTIFY | LBS_SORT | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER | WS_TABSTOP, 0,
     145, 146, 15, 14, IDC_BYE_SORTER, L"LISTBOX", nullptr, 0},
};

const DLGTEMPLATEW kMainDialog = {
    0x80C800C0, 0, 0, 0, 162, 167, L"Corvale", 8, L"MS Sans Serif", 32, kMainItems,
};

// Download: a picture, "Please wait..." and one status line at a time.
const DLGITEMTEMPLATEW kDownloadItems[] = {
    {kChild | SS_BITMAP | SS_CENTERIMAGE, 0, 37, 28, 83, 62, kNoId, L"STATIC", nullptr, IDB_SEASON_PICTURE},
    {kChild | SS_BITMAP, 0, 35, 135, 84, 10, kNoId, L"STATIC", nullptr, IDB_PLEASE_WAIT},
    {kHiddenChild | SS_BITMAP | SS_CENTERIMAGE, 0, 23, 111, 114, 10, IDC_CONNECTING, L"STATIC", nullptr, IDB_CONNECTING},
    {kHiddenChild | SS_BITMAP | SS_CENTERIMAGE, 0, 19, 111, 122, 10, IDC_DOWNLOADING_SCHEDULES, L"STATIC", nullptr, IDB_DOWNLOADING_SCHEDULES},
    {kHiddenChild | SS_BITMAP | SS_CENTERIMAGE, 0, 19, 111, 122, 10, IDC_DOWNLOADING_STANDINGS, L"STATIC", nullptr, IDB_DOWNLOADING_STANDINGS},
};

const DLGTEMPLATEW kDownloadDialog = {
    kDialogStyle, 0, 0, 0, 160, 167, CAPTION_DOWNLOAD, 8, L"MS Sans Serif", 5, kDownloadItems,
};

// Options: favourite team and time zone pickers with Save and Cancel.
const DLGITEMTEMPLATEW kOptionsItems[] = {
    {kChild | WS_TABSTOP | BS_PUSHBUTTON, 0, 19, 128, 50, 18, IDC_SAVE, L"BUTTON", L"Save", 0},
    {kChild | WS_TABSTOP | BS_PUSHBUTTON, 0, 91, 128, 50, 18, IDC_CANCEL, L"BUTTON", L"Cancel", 0},
    {kChild | kPickerStyle, 0, 39, 25, 81, 72, IDC_FAVOURITE_PICKER, L"COMBOBOX", nullptr, 0},
    {kChild | kPickerStyle, 0, 39, 87, 81, 72, IDC_ZONE_PICKER, L"COMBOBOX", nullptr, 0},
    {kChild | BS_GROUPBOX, 0, 23, 10, 112, 40, kNoId, L"BUTTON", L" Favorite Team ", 0},
    {kChild | BS_GROUPBOX, 0, 23, 72, 112, 40, kNoId, L"BUTTON", L" Time Zone ", 0},
};

const DLGTEMPLATEW kOptionsDialog = {
    kDialogStyle, 0, 0, 0, 160, 167, CAPTION_OPTIONS, 8, L"MS Sans Serif", 6, kOptionsItems,
};

// Calendar: one month calendar filling the dialog.
const DLGITEMTEMPLATEW kCalendarItems[] = {
    {kChild | WS_TABSTOP, 1, -2, 0, 103, 90, IDC_MONTH_CALENDAR, L"SysMonthCal32", nullptr, 0},
};

const DLGTEMPLATEW kCalendarDialog = {
    kDialogStyle, 0, 0, 0, 98, 88, CAPTION_CALENDAR, 8, L"MS Sans Serif", 1, kCalendarItems,
};

// About: icon, version and the product name.
const DLGITEMTEMPLATEW kAboutItems[] = {
    {kChild | SS_ICON, 0, 11, 13, 21, 20, kNoId, L"STATIC", nullptr, IDI_CORVALE},
    {kChild | SS_CENTER, 0, 57, 23, 55, 8, kNoId, L"STATIC", L"Version 2.0.03", 0},
    {kChild | SS_BITMAP, 0, 52, 7, 66, 11, kNoId, L"STATIC", nullptr, IDB_PRODUCT_NAME},
};

const DLGTEMPLATEW kAboutDialog = {
    kDialogStyle, 0, 0, 0, 140, 86, CAPTION_ABOUT, 8, L"MS Sans Serif", 3, kAboutItems,
};

// Menu 102 and the menu bar that opens its three pop-ups.
const MENUITEMTEMPLATE kFileItems[] = {{IDM_DOWNLOAD, L"Download"}, {0, nullptr}};
const MENUITEMTEMPLATE kToolsItems[] = {{IDM_OPTIONS, L"Options"}, {0, nullptr}, {IDM_CALENDAR, L"Calendar"}};
const MENUITEMTEMPLATE kHelpItems[] = {{IDM_HELP_CONTENTS, L"Corvale"}, {0, nullptr}, {IDM_ABOUT, L"About"}};
const MENUPOPUPTEMPLATE kMainPopups[] = {{L"File", 2, kFileItems}, {L"Tools", 3, kToolsItems}, {L"Help", 3, kHelpItems}};
const MENUTEMPLATE kMainMenu = {3, kMainPopups};

constexpr BYTE kButtonStyle = TBSTYLE_DROPDOWN | TBSTYLE_AUTOSIZE;
const MENUBARBUTTON kMainButtons[] = {
    {I_IMAGENONE, IDM_FILE, TBSTATE_ENABLED, kButtonStyle, IDS_FILE, 0},
    {I_IMAGENONE, IDM_TOOLS, TBSTATE_ENABLED, kButtonStyle, IDS_TOOLS, 1},
    {I_IMAGENONE, IDM_HELP, TBSTATE_ENABLED, kButtonStyle, IDS_HELP, 2},
};
const MENUBARTEMPLATE kMainMenuBar = {IDM_MAIN, 3, kMainButtons};

const WCHAR kFileString[] = L"File";
const WCHAR kToolsString[] = L"Tools";
const WCHAR kHelpString[] = L"Help";

// The record bar's headings, each over the middle of the figures it heads,
// for screen readers to label those figures.
const PICTUREWORD kRecordHeadings[] = {{15, L"W"}, {38, L"L"}, {60, L"T"}, {81, L"Pct"}, {141, L"Home"}, {188, L"Road"}};
const PICTUREWORDS kRecordBarWords = {6, kRecordHeadings};

// The words each picture shows, under the picture's own ID, for screen readers.
#define PICTURE_WORDS(id, words) {RT_STRING, id, words, sizeof(words)}

#define BITMAP(id, data) {RT_BITMAP, id, data, data##Size}

const RESOURCEENTRY kEntries[] = {
    {RT_DIALOG, IDD_MAIN, &kMainDialog, sizeof kMainDialog},
    {RT_DIALOG, IDD_DOWNLOAD, &kDownloadDialog, sizeof kDownloadDialog},
    {RT_DIALOG, IDD_OPTIONS, &kOptionsDialog, sizeof kOptionsDialog},
    {RT_DIALOG, IDD_CALENDAR, &kCalendarDialog, sizeof kCalendarDialog},
    {RT_DIALOG, IDD_ABOUT, &kAboutDialog, sizeof kAboutDialog},
    {RT_MENU, IDM_MAIN, &kMainMenu, sizeof kMainMenu},
    {RT_RCDATA, IDM_MAIN, &kMainMenuBar, sizeof kMainMenuBar},
    {RT_STRING, IDS_FILE, kFileString, sizeof kFileString},
    {RT_STRING, IDS_TOOLS, kToolsString, sizeof kToolsString},
    {RT_STRING, IDS_HELP, kHelpString, sizeof kHelpString},
    PICTURE_WORDS(IDI_CORVALE, L"Corvale"),
    PICTURE_WORDS(IDB_AFC_EAST, L"AFC East"),
    PICTURE_WORDS(IDB_AFC_NORTH, L"AFC North"),
    PICTURE_WORDS(IDB_AFC_SOUTH, L"AFC South"),
    PICTURE_WORDS(IDB_AFC_WEST, L"AFC West"),
    PICTURE_WORDS(IDB_NFC_EAST, L"NFC East"),
    PICTURE_WORDS(IDB_NFC_NORTH, L"NFC North"),
    PICTURE_WORDS(IDB_NFC_SOUTH, L"NFC South"),
    PICTURE_WORDS(IDB_NFC_WEST, L"NFC West"),
    PICTURE_WORDS(IDB_STANDINGS_HEADER, L"Team W L T Pct."),
    PICTURE_WORDS(IDB_CHOOSE_WEEK, L"Choose Week"),
    PICTURE_WORDS(IDB_CHOOSE_TEAM, L"Choose Team"),
    PICTURE_WORDS(IDB_RECORD_BAR, L"W L T Pct Home Road"),
    {RT_RCDATA, IDB_RECORD_BAR, &kRecordBarWords, sizeof kRecordBarWords},
    PICTURE_WORDS(IDB_PRODUCT_NAME, L"Corvale"),
    PICTURE_WORDS(IDB_SEASON_PICTURE, L"A football on the field"),
    PICTURE_WORDS(IDB_PLEASE_WAIT, L"Please wait..."),
    PICTURE_WORDS(IDB_CONNECTING, L"Connecting to Internet"),
    PICTURE_WORDS(IDB_DOWNLOADING_SCHEDULES, L"Downloading Schedules"),
    PICTURE_WORDS(IDB_DOWNLOADING_STANDINGS, L"Downloading Standings"),
    {RT_GROUP_ICON, IDI_CORVALE, kIcon101, kIcon101Size},
    BITMAP(IDB_AFC_EAST, kBitmap118),
    BITMAP(IDB_AFC_NORTH, kBitmap119),
    BITMAP(IDB_AFC_SOUTH, kBitmap120),
    BITMAP(IDB_AFC_WEST, kBitmap121),
    BITMAP(IDB_NFC_EAST, kBitmap122),
    BITMAP(IDB_NFC_NORTH, kBitmap123),
    BITMAP(IDB_NFC_SOUTH, kBitmap124),
    BITMAP(IDB_NFC_WEST, kBitmap125),
    BITMAP(IDB_STANDINGS_HEADER, kBitmap128),
    BITMAP(IDB_CHOOSE_WEEK, kBitmap129),
    BITMAP(IDB_CHOOSE_TEAM, kBitmap130),
    BITMAP(IDB_RECORD_BAR, kBitmap134),
    BITMAP(IDB_PRODUCT_NAME, kBitmap135),
    BITMAP(IDB_SEASON_PICTURE, kBitmap140),
    BITMAP(IDB_PLEASE_WAIT, kBitmap141),
    BITMAP(IDB_CONNECTING, kBitmap142),
    BITMAP(IDB_DOWNLOADING_SCHEDULES, kBitmap143),
    BITMAP(IDB_DOWNLOADING_STANDINGS, kBitmap144),
};

}  // namespace

const RESOURCETABLE g_moduleResources = {kEntries, sizeof kEntries / sizeof kEntries[0]};
