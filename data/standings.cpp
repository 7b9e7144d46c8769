#include "data/standings.h"

#include "app/resources/resource.h"
#include "data/datafile.h"

#include <cwchar>

WCHAR g_seasonLabel[kSeasonLabelChars];

namespace {

constexpr int kTeamLines = 32;
constexpr int kTeamsPerDivision = 4;

void AddBlankRow(HWND mainWindow)
{
    AddStandingsRow(mainWindow, L"", L"", L"", L"", L"");
}

// One team line: name in quotes, wins, losses, ties. An empty line (the
// file ended early) keeps its place as an empty row.
void AddTeamLine(HWND mainWindow, WCHAR* line)
{
    WCHAR* fields[4] = {};
    int count = SplitFields(line, fields, 4);
    if (count == 0) {
        AddBlankRow(mainWindow);
        return;
    }
    WCHAR empty[1] = {L'\0'};
    for (int i = count; i < 4; ++i)
        fields[i] = empty;
    WCHAR percentage[kPercentageChars] = {};
    FormatWinningPercentage(ReadNumber(fields[1]), ReadNumber(fields[2]), ReadNumber(fields[3]), percentage);
    AddStandingsRow(mainWindow, TakeQuotedText(fields[0]), fields[1], fields[2], fields[3], percentage);
}

}  // namespace

void FormatWinningPercentage(double wins, double losses, double ties, WCHAR* text)
{
    double games = wins + losses + ties;
    if (games == 0) {
        std::wcscpy(text, L".000");
        return;
    }
    double fraction = (wins + ties * 0.5) / games;
    // Records with negative counts are not records; keep the text in range.
    if (!(fraction >= 0))
        fraction = 0;
    if (fraction > 1)
        fraction = 1;
    int point = 0;
    int sign = 0;
    const char* digits = _fcvt(fraction, 3, &point, &sign);
    if (point >= 1) {
        std::wcscpy(text, L"1000");
        return;
    }
    // "." and three digits; leading zeros stand for a point position below 0.
    std::wcscpy(text, L".");
    for (int i = point; i < 0 && std::wcslen(text) < 4; ++i)
        std::wcscat(text, L"0");
    for (const char* d = digits; *d && std::wcslen(text) < 4; ++d) {
        WCHAR digit[2] = {static_cast<WCHAR>(*d), L'\0'};
        std::wcscat(text, digit);
    }
    while (std::wcslen(text) < 4)
        std::wcscat(text, L"0");
}

void AddStandingsRow(HWND mainWindow, const WCHAR* name, const WCHAR* wins, const WCHAR* losses, const WCHAR* ties,
                     const WCHAR* percentage)
{
    HWND list = GetDlgItem(mainWindow, IDC_STANDINGS_LIST);
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<WCHAR*>(name);
    int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    const WCHAR* cells[] = {wins, losses, ties, percentage};
    for (int column = 1; column <= 4; ++column) {
        LVITEMW cell = {};
        cell.iSubItem = column;
        cell.pszText = const_cast<WCHAR*>(cells[column - 1]);
        SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
    }
}

int LoadStandings(HWND mainWindow, LPCWSTR standingsPath)
{
    SendMessageW(GetDlgItem(mainWindow, IDC_STANDINGS_LIST), LVM_DELETEALLITEMS, 0, 0);
    FILE* file = _wfopen(standingsPath, L"r");
    if (!file)
        return 0;
    WCHAR line[kLineChars];
    ReadDataLine(file, line);
    std::wcsncpy(g_seasonLabel, TakeQuotedText(line), kSeasonLabelChars - 1);
    g_seasonLabel[kSeasonLabelChars - 1] = L'\0';
    AddBlankRow(mainWindow);
    int divisionCount = 0;
    for (int team = 0; team < kTeamLines; ++team) {
        if (!ReadDataLine(file, line)) {
            std::fclose(file);
            return 0;
        }
        AddTeamLine(mainWindow, line);
        if (divisionCount < kTeamsPerDivision - 1) {
            ++divisionCount;
        } else if (team != kTeamLines - 1) {
            AddBlankRow(mainWindow);
            divisionCount = 0;
        }
    }
    std::fclose(file);
    return 1;
}
