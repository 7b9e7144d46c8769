#include "views/week_view.h"

#include "app/resources/resource.h"
#include "data/schedule_table.h"
#include "views/time_conversion.h"

#include <cwchar>

namespace {

constexpr int kRegularWeeks = 17;
constexpr int kGameTextChars = 1024;

// The two placeholder rows of a playoff week whose games are not known yet.
const WCHAR* const kPlaceholders[4][2] = {
    {L"Wild Card Playoffs", L"Wild Card Playoffs"},
    {L"Divisional Playoffs", L"Divisional Playoffs"},
    {L"Conference Championships", L"Conference Championships"},
    {L"Super Bowl", L"Houston, Texas"},
};

// The game of home team row `home` in week w. A home row naming no team
// as its opponent (outside 0..31) lists nothing.
void AddHomeGame(HWND mainWindow, int home, int week, const WCHAR* date, const WCHAR* opponent)
{
    int away = _wtoi(opponent);
    if (away < 0 || away >= kTeamRows)
        return;
    WCHAR homeName[kCellChars] = {}, homeScore[kCellChars] = {}, odds[kCellChars] = {};
    WCHAR awayName[kCellChars] = {}, awayScore[kCellChars] = {};
    ReadCell(home, kNameColumn, homeName);
    ReadCell(home, ScoreColumn(week), homeScore);
    ReadCell(home, OddsColumn(week), odds);
    ReadCell(away, kNameColumn, awayName);
    ReadCell(away, ScoreColumn(week), awayScore);
    WCHAR game[kGameTextChars] = {};
    if (std::wcscmp(homeScore, L"-1") != 0)
        wsprintfW(game, L"%s %s @ %s %s", awayName, awayScore, homeName, homeScore);
    else
        wsprintfW(game, L"%s @ %s", awayName, homeName);
    AddWeekGameRow(mainWindow, date, game, std::wcscmp(odds, L"999") == 0 ? L"N/A" : odds);
}

void AddByes(HWND mainWindow, HWND byes)
{
    int count = static_cast<int>(SendMessageW(byes, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        WCHAR name[kCellChars] = {};  // a name read from the table: at most 254 characters
        SendMessageW(byes, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(name));
        AddWeekGameRow(mainWindow, L"Bye", name, nullptr);
    }
}

void AddPlaceholders(HWND mainWindow, int week)
{
    const int rows[2] = {1, 31};
    for (int i = 0; i < 2; ++i) {
        WCHAR date[kCellChars] = {};
        ReadCell(rows[i], DateColumn(week), date);
        AddWeekGameRow(mainWindow, date, kPlaceholders[week - kRegularWeeks][i], nullptr);
    }
}

}  // namespace

void ShowWeekGames(HWND mainWindow, int weekIndex)
{
    HWND list = GetDlgItem(mainWindow, IDC_WEEK_LIST);
    HWND byes = GetDlgItem(mainWindow, IDC_BYE_SORTER);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    SendMessageW(byes, LB_RESETCONTENT, 0, 0);
    if (weekIndex < 0 || weekIndex >= kWeekCount)
        return;
    for (int row = 0; row < kTeamRows; ++row) {
        WCHAR date[kCellChars] = {}, homeFlag[kCellChars] = {}, opponent[kCellChars] = {};
        ReadCell(row, DateColumn(weekIndex), date);
        ReadCell(row, HomeColumn(weekIndex), homeFlag);
        ReadCell(row, OpponentColumn(weekIndex), opponent);
        if (std::wcscmp(opponent, L"-1") == 0) {
            WCHAR name[kCellChars] = {};
            ReadCell(row, kNameColumn, name);
            SendMessageW(byes, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
            continue;
        }
        if (std::wcscmp(homeFlag, L"0") == 0)
            continue;  // listed from its home team's row
        AddHomeGame(mainWindow, row, weekIndex, date, opponent);
    }
    if (weekIndex < kRegularWeeks)
        AddByes(mainWindow, byes);
    else if (SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 0)
        AddPlaceholders(mainWindow, weekIndex);
}

void AddWeekGameRow(HWND mainWindow, const WCHAR* dateSource, const WCHAR* gameText, const WCHAR* oddsText)
{
    const WCHAR* date = L"Bye";
    if (std::wcscmp(dateSource, L"Bye") != 0) {
        ConvertGameDateTime(dateSource);
        date = g_gameDateText;
    }
    HWND list = GetDlgItem(mainWindow, IDC_WEEK_LIST);
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<WCHAR*>(date);
    int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    const WCHAR* cells[2] = {gameText, oddsText ? oddsText : L""};
    for (int column = 1; column <= 2; ++column) {
        LVITEMW cell = {};
        cell.iSubItem = column;
        cell.pszText = const_cast<WCHAR*>(cells[column - 1]);
        SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
    }
}
