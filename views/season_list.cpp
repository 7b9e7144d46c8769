#include "views/season_list.h"

#include "app/resources/resource.h"
#include "data/datafile.h"
#include "views/time_conversion.h"

#include <cwchar>

void AddSeasonRow(HWND mainWindow, const WCHAR* game, const WCHAR* time)
{
    if (!game || std::wcslen(game) < 2)
        return;
    HWND list = GetDlgItem(mainWindow, IDC_SEASON_LIST);
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<WCHAR*>(game);
    int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (!time || std::wcslen(time) < 3)
        return;
    // The conversion rewrites its buffer: give it one of its own size.
    WCHAR clock[kClockChars] = {};
    std::wcsncpy(clock, time, kClockChars - 1);
    if (WCHAR* converted = ConvertClockTime(clock)) {
        LVITEMW cell = {};
        cell.iSubItem = 1;
        cell.pszText = converted;
        SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
    }
}

int LoadSeasonList(HWND mainWindow, LPCWSTR seasonPath)
{
    FILE* file = _wfopen(seasonPath, L"r");
    if (!file)
        return 0;
    WCHAR line[kLineChars];
    ReadDataLine(file, line);  // the header
    while (!std::feof(file)) {
        Sleep(0);
        if (!ReadDataLine(file, line)) {
            std::fclose(file);
            return 0;
        }
        WCHAR* fields[2] = {};
        SplitFields(line, fields, 2);
        WCHAR* game = fields[0] ? TakeQuotedText(fields[0]) : nullptr;
        WCHAR* time = fields[1] ? TakeQuotedText(fields[1]) : nullptr;
        AddSeasonRow(mainWindow, game, time);
    }
    std::fclose(file);
    return 1;
}
