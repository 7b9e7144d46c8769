#include "app/pages.h"

#include "app/resources/resource.h"
#include "data/standings.h"

#include <cwchar>

namespace {

constexpr int kTitleChars = 128;  // the title and its terminator

const WCHAR* const kTabTexts[] = {L" Standings ", L"   Team   ", L"   Week   ", L"   Year   "};

struct ColumnLayout {
    int list;           // list view ID
    int column;         // column index
    const WCHAR* text;  // header text
    int width;          // pixels
    int format;         // alignment
};

const ColumnLayout kColumns[] = {
    {IDC_STANDINGS_LIST, 0, L"Team", 80, LVCFMT_LEFT},
    {IDC_STANDINGS_LIST, 1, L"W", 29, LVCFMT_RIGHT},
    {IDC_STANDINGS_LIST, 2, L"L", 29, LVCFMT_RIGHT},
    {IDC_STANDINGS_LIST, 3, L"T", 29, LVCFMT_RIGHT},
    {IDC_STANDINGS_LIST, 4, L"Pct", 40, LVCFMT_RIGHT},
    {IDC_TEAM_LIST, 0, L"Date", 40, LVCFMT_LEFT},
    {IDC_TEAM_LIST, 1, L"Game", 120, LVCFMT_LEFT},
    {IDC_TEAM_LIST, 2, L"Time", 50, LVCFMT_RIGHT},
    {IDC_WEEK_LIST, 0, L"Date", 35, LVCFMT_LEFT},
    {IDC_WEEK_LIST, 1, L"Game", 140, LVCFMT_LEFT},
    {IDC_WEEK_LIST, 2, L"Odds", 40, LVCFMT_CENTER},
    {IDC_SEASON_LIST, 0, L"Game", 160, LVCFMT_LEFT},
    {IDC_SEASON_LIST, 1, L"Time", 50, LVCFMT_RIGHT},
};

// Extended styles added to each visible list.
const struct {
    int list;    // list view ID
    DWORD bits;  // LVS_EX_ bits
} kExtendedStyles[] = {
    {IDC_STANDINGS_LIST, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT},
    {IDC_TEAM_LIST, LVS_EX_FULLROWSELECT},
    {IDC_WEEK_LIST, LVS_EX_FULLROWSELECT},
    {IDC_SEASON_LIST, LVS_EX_FULLROWSELECT},
};

// Controls of the Team, Week and Year pages; the Standings page's are below.
const int kTeamPage[] = {IDC_TEAM_PROMPT, IDC_RECORD_BAR, IDC_TEAM_PICKER, IDC_TOTAL_WINS, IDC_TOTAL_LOSSES,
                         IDC_TOTAL_TIES, IDC_PERCENTAGE, IDC_HOME_WINS, IDC_HOME_LOSSES, IDC_HOME_TIES,
                         IDC_ROAD_WINS, IDC_ROAD_LOSSES, IDC_ROAD_TIES, IDC_TEAM_LIST};
const int kWeekPage[] = {IDC_WEEK_PROMPT, IDC_WEEK_PICKER, IDC_WEEK_LIST};
const int kYearPage[] = {IDC_SEASON_LIST};
const int kStandingsPage[] = {IDC_AFC_EAST_HEADER, IDC_AFC_NORTH_HEADER, IDC_AFC_SOUTH_HEADER, IDC_AFC_WEST_HEADER,
                              IDC_NFC_EAST_HEADER, IDC_NFC_NORTH_HEADER, IDC_NFC_SOUTH_HEADER, IDC_NFC_WEST_HEADER,
                              IDC_STANDINGS_TITLE, IDC_STANDINGS_HEADER, IDC_STANDINGS_LIST};

template <size_t N>
void ShowControls(HWND window, const int (&ids)[N], int command)
{
    for (int id : ids)
        ShowWindow(GetDlgItem(window, id), command);
}

int CurrentPage(HWND window)
{
    return static_cast<int>(SendMessageW(GetDlgItem(window, IDC_PAGE_TABS), TCM_GETCURSEL, 0, 0));
}

}  // namespace

void CreatePageTabs(HWND mainWindow)
{
    HWND tabs = GetDlgItem(mainWindow, IDC_PAGE_TABS);
    for (int index = 0; index < 4; ++index) {
        WCHAR text[16] = {};
        std::wcscpy(text, kTabTexts[index]);
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.iImage = -1;
        SendMessageW(tabs, TCM_INSERTITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    }
}

void CreateListColumns(HWND mainWindow)
{
    for (const ColumnLayout& layout : kColumns) {
        LVCOLUMNW column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = layout.format;
        column.cx = layout.width;
        column.pszText = const_cast<WCHAR*>(layout.text);
        column.iSubItem = layout.column;
        SendMessageW(GetDlgItem(mainWindow, layout.list), LVM_INSERTCOLUMNW, static_cast<WPARAM>(layout.column), reinterpret_cast<LPARAM>(&column));
    }
    HWND table = GetDlgItem(mainWindow, IDC_SCHEDULE_TABLE);
    for (int index = 0; index < 108; ++index) {
        LVCOLUMNW column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = 10;
        column.pszText = const_cast<WCHAR*>(L"Game");
        column.iSubItem = index;
        SendMessageW(table, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
    }
    for (const auto& style : kExtendedStyles) {
        HWND list = GetDlgItem(mainWindow, style.list);
        LRESULT current = SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
        SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, current | style.bits);
    }
}

// Shows the controls of the current page and hides the others'.
void SwitchPage(HWND mainWindow)
{
    switch (CurrentPage(mainWindow)) {
    case 0:
        ShowControls(mainWindow, kTeamPage, SW_HIDE);
        ShowControls(mainWindow, kWeekPage, SW_HIDE);
        ShowWindow(GetDlgItem(mainWindow, IDC_STANDINGS_TITLE), SW_SHOWNORMAL);
        ShowControls(mainWindow, kYearPage, SW_HIDE);
        ShowWindow(GetDlgItem(mainWindow, IDC_STANDINGS_HEADER), SW_SHOWNORMAL);
        ShowWindow(GetDlgItem(mainWindow, IDC_STANDINGS_LIST), SW_SHOWNORMAL);
        PlaceDivisionHeaders(mainWindow);
        break;
    case 1:
        ShowControls(mainWindow, kStandingsPage, SW_HIDE);
        ShowControls(mainWindow, kWeekPage, SW_HIDE);
        ShowControls(mainWindow, kYearPage, SW_HIDE);
        ShowControls(mainWindow, kTeamPage, SW_SHOWNORMAL);
        break;
    case 2:
        ShowControls(mainWindow, kStandingsPage, SW_HIDE);
        ShowControls(mainWindow, kTeamPage, SW_HIDE);
        ShowControls(mainWindow, kYearPage, SW_HIDE);
        ShowControls(mainWindow, kWeekPage, SW_SHOWNORMAL);
        break;
    case 3:
        ShowControls(mainWindow, kStandingsPage, SW_HIDE);
        ShowControls(mainWindow, kTeamPage, SW_HIDE);
        ShowControls(mainWindow, kWeekPage, SW_HIDE);
        ShowControls(mainWindow, kYearPage, SW_SHOWNORMAL);
        break;
    default:
        break;
    }
}

void BuildStandingsTitle(WCHAR* title)
{
    title[0] = L'\0';
    std::wcsncat(title, L" ", kTitleChars - 1);
    std::wcsncat(title, g_seasonLabel, kTitleChars - 1 - std::wcslen(title));
    std::wcsncat(title, L" NFL Standings ", kTitleChars - 1 - std::wcslen(title));
}

// Draws the title in red over the title control on page 0; elsewhere hides it.
void PaintStandingsTitle(HWND mainWindow)
{
    WCHAR title[kTitleChars];
    BuildStandingsTitle(title);
    HWND control = GetDlgItem(mainWindow, IDC_STANDINGS_TITLE);
    if (CurrentPage(mainWindow) != 0) {
        ShowWindow(control, SW_HIDE);
        return;
    }
    RECT area;
    GetClientRect(control, &area);
    PAINTSTRUCT paint;
    HDC context = BeginPaint(control, &paint);
    LOGFONTW description = {};
    description.lfHeight = 14;
    description.lfWeight = FW_BOLD;
    description.lfCharSet = OEM_CHARSET;
    description.lfPitchAndFamily = FF_ROMAN;
    std::wcscpy(description.lfFaceName, L"Tahoma");
    HFONT font = CreateFontIndirectW(&description);
    SelectObject(context, font);
    SetBkMode(context, OPAQUE);
    SetTextColor(context, RGB(255, 0, 0));
    DrawTextW(context, title, -1, &area, DT_CENTER | DT_SINGLELINE);
    EndPaint(control, &paint);
    DeleteObject(font);
}

INT_PTR TrackDivisionHeaders(HWND mainWindow)
{
    if (CurrentPage(mainWindow) == 0)
        PlaceDivisionHeaders(mainWindow);
    return 0;
}

// Keeps each division image over its blank row while that row is in view
// in the upper part of the standings list; hides it otherwise.
void PlaceDivisionHeaders(HWND mainWindow)
{
    HWND list = GetDlgItem(mainWindow, IDC_STANDINGS_LIST);
    RECT listRect;
    GetWindowRect(list, &listRect);
    const int limit = listRect.bottom - 92;
    for (int k = 0; k < 8; ++k) {
        HWND image = GetDlgItem(mainWindow, IDC_DIVISION_FIRST + k);
        RECT row = {};
        row.left = LVIR_BOUNDS;
        bool exists = SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(5 * k), reinterpret_cast<LPARAM>(&row)) != 0;
        int edge = k < 3 ? row.bottom : row.top;
        if (exists && row.top >= 0 && edge < limit) {
            SetWindowPos(image, HWND_TOP, listRect.left + 30, listRect.top + row.top - 24, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
            ShowWindow(image, SW_SHOWNORMAL);
        } else {
            ShowWindow(image, SW_HIDE);
        }
    }
}
