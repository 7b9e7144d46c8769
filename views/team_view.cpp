#include "views/team_view.h"

#include "app/resources/resource.h"
#include "data/datafile.h"
#include "data/schedule_table.h"
#include "data/standings.h"
#include "views/time_conversion.h"

#include <cwchar>

namespace {

constexpr int kRegularWeeks = 17;
constexpr int kGameTextChars = 1024;
const WCHAR kByeWeek[] = L"Bye Week";

// Wins, losses and ties at home or on the road.
struct Record {
    double wins = 0;
    double losses = 0;
    double ties = 0;
};

// A count of games (whole, at most 17) as a decimal integer: "0", "14".
void SetCountLabel(HWND mainWindow, int label, double count)
{
    WCHAR text[16];
    wsprintfW(text, L"%d", static_cast<int>(count));
    SetWindowTextW(GetDlgItem(mainWindow, label), text);
}

void AddResult(Record& record, double own, double theirs)
{
    if (own > theirs)
        record.wins += 1;
    else if (own < theirs)
        record.losses += 1;
    else
        record.ties += 1;
}

void ShowRecord(HWND mainWindow, const Record& home, const Record& road)
{
    SetCountLabel(mainWindow, IDC_HOME_WINS, home.wins);
    SetCountLabel(mainWindow, IDC_HOME_LOSSES, home.losses);
    SetCountLabel(mainWindow, IDC_HOME_TIES, home.ties);
    SetCountLabel(mainWindow, IDC_ROAD_WINS, road.wins);
    SetCountLabel(mainWindow, IDC_ROAD_LOSSES, road.losses);
    SetCountLabel(mainWindow, IDC_ROAD_TIES, road.ties);
    Record total{home.wins + road.wins, home.losses + road.losses, home.ties + road.ties};
    SetCountLabel(mainWindow, IDC_TOTAL_WINS, total.wins);
    SetCountLabel(mainWindow, IDC_TOTAL_LOSSES, total.losses);
    SetCountLabel(mainWindow, IDC_TOTAL_TIES, total.ties);
    WCHAR percentage[kPercentageChars] = {};
    FormatWinningPercentage(total.wins, total.losses, total.ties, percentage);
    SetWindowTextW(GetDlgItem(mainWindow, IDC_PERCENTAGE), percentage);
}

// One week of team row t: its game text, and its result added to the record.
void ShowTeamWeek(HWND mainWindow, int team, int week, Record& home, Record& road)
{
    WCHAR date[kCellChars] = {}, opponent[kCellChars] = {}, score[kCellChars] = {}, homeFlag[kCellChars] = {};
    ReadCell(team, DateColumn(week), date);
    ReadCell(team, OpponentColumn(week), opponent);
    ReadCell(team, ScoreColumn(week), score);
    ReadCell(team, HomeColumn(week), homeFlag);
    double opponentRow = ReadNumber(opponent);
    double atHome = ReadNumber(homeFlag);
    WCHAR game[kGameTextChars] = {};
    if (opponentRow < 0) {
        AddTeamScheduleRow(mainWindow, date, kByeWeek);
        return;
    }
    int row = opponentRow < kTeamRows ? static_cast<int>(opponentRow) : -1;
    WCHAR name[kCellChars] = {}, theirScore[kCellChars] = {};
    ReadCell(row, kNameColumn, name);
    ReadCell(row, ScoreColumn(week), theirScore);
    // A home flag other than 0 or 1 gives the name alone and counts nowhere.
    const WCHAR* prefix = atHome == 0 ? L"@ " : atHome == 1 ? L"vs " : L"";
    if (std::wcscmp(score, L"-1") != 0) {
        wsprintfW(game, L"%s %s%s %s", score, prefix, name, theirScore);
        if (atHome == 1)
            AddResult(home, ReadNumber(score), ReadNumber(theirScore));
        else if (atHome == 0)
            AddResult(road, ReadNumber(score), ReadNumber(theirScore));
    } else {
        wsprintfW(game, L"%s%s", prefix, name);
    }
    AddTeamScheduleRow(mainWindow, date, game);
}

}  // namespace

void ShowTeamSchedule(HWND mainWindow, int teamRow)
{
    SendMessageW(GetDlgItem(mainWindow, IDC_TEAM_LIST), LVM_DELETEALLITEMS, 0, 0);
    Record home, road;
    if (teamRow >= 0 && teamRow < kTeamRows) {
        for (int week = 0; week < kRegularWeeks; ++week)
            ShowTeamWeek(mainWindow, teamRow, week, home, road);
    }
    ShowRecord(mainWindow, home, road);
}

void AddTeamScheduleRow(HWND mainWindow, const WCHAR* dateCell, const WCHAR* gameText)
{
    ConvertGameDateTime(dateCell);
    HWND list = GetDlgItem(mainWindow, IDC_TEAM_LIST);
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = g_gameDateText;
    int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    LVITEMW cell = {};
    cell.iSubItem = 1;
    cell.pszText = const_cast<WCHAR*>(gameText);
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
    if (std::wcscmp(gameText, kByeWeek) == 0)
        return;
    cell.iSubItem = 2;
    cell.pszText = g_gameTimeText;
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
}
