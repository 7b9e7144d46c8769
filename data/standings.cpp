#include "data/standings.h"

#include "app/resources/resource.h"
#include "data/datafile.h"

#include <cmath>
#include <cwchar>

WCHAR g_seasonLabel[kSeasonLabelChars];

namespace {

constexpr int kTeamLines = 32;
constexpr int kTeamsPerDivision = 4;
constexpr int kLargestCountExponent = 512;  // counts below 2^512 are used as they are

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
    // Counts too large for (2W + T) * 1000 are first scaled down by a power
    // of two, which is exact and leaves every ratio as it was.
    int exponent = 0;
    std::frexp(std::fmax(std::fabs(wins), std::fmax(std::fabs(losses), std::fabs(ties))), &exponent);
    if (exponent > kLargestCountExponent) {
        wins = std::ldexp(wins, -exponent);
        losses = std::ldexp(losses, -exponent);
        ties = std::ldexp(ties, -exponent);
    }
    double games = wins + losses + ties;
    if (games == 0) {
        std::wcscpy(text, L".000");
        return;
    }
    // Thousandths rounded half up in decimal. For whole counts (2W + T) * 1000
    // and 2G are exact, so a halfway value such as 1.5 / 40 = .0375 divides to
    // exactly 37.5 instead of a binary fraction just under it. Records with
    // negative counts are not records: the text stays within .000 and 1000.
    double thousandths = std::floor((2 * wins + ties) * 1000 / (2 * games) + 0.5);
    thousandths = std::fmax(0.0, std::fmin(thousandths, 1000.0));
    if (thousandths == 1000) {
        std::wcscpy(text, L"1000");
        return;
    }
    wsprintfW(text, L".%03d", static_cast<int>(thousandths));
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
