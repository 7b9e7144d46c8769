#include "data/schedule_table.h"

#include "app/resources/resource.h"
#include "data/datafile.h"

namespace {

HWND g_scheduleTable = nullptr;  // the table control the last load filled; ReadCell reads it

// Appends one row: field 0 as the item text, fields 1..106 as its cells.
void AddTableRow(HWND table, WCHAR** fields, int count)
{
    WCHAR empty[1] = {L'\0'};
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(SendMessageW(table, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = count > 0 ? fields[0] : empty;
    int row = static_cast<int>(SendMessageW(table, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    for (int k = 1; k < count; ++k) {
        LVITEMW cell = {};
        cell.iSubItem = k;
        cell.pszText = fields[k];
        SendMessageW(table, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
    }
}

// Team names from column 1, then the 21 week names.
void FillPickers(HWND mainWindow)
{
    HWND teamPicker = GetDlgItem(mainWindow, IDC_TEAM_PICKER);
    for (int row = 0; row < kTeamRows; ++row) {
        WCHAR name[kCellChars] = {};
        ReadCell(row, kNameColumn, name);
        SendMessageW(teamPicker, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    HWND weekPicker = GetDlgItem(mainWindow, IDC_WEEK_PICKER);
    static const WCHAR* const kPlayoffWeeks[] = {L"Wild Card", L"Divisonal", L"Conference", L"Super Bowl"};
    for (int week = 1; week <= 17; ++week) {
        WCHAR name[16];
        wsprintfW(name, L"Week %d", week);
        SendMessageW(weekPicker, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    for (const WCHAR* name : kPlayoffWeeks)
        SendMessageW(weekPicker, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
}

}  // namespace

int LoadScheduleTable(HWND mainWindow, LPCWSTR schedulePath)
{
    HWND table = GetDlgItem(mainWindow, IDC_SCHEDULE_TABLE);
    g_scheduleTable = table;
    SendMessageW(table, LVM_DELETEALLITEMS, 0, 0);
    FILE* file = _wfopen(schedulePath, L"r");
    if (!file)
        return 0;
    for (int line = 0; line < kTeamRows; ++line) {
        Sleep(0);
        WCHAR text[kLineChars];
        if (!ReadDataLine(file, text)) {
            std::fclose(file);
            return 0;
        }
        WCHAR* fields[kScheduleFields];
        int count = SplitFields(text, fields, kScheduleFields);
        AddTableRow(table, fields, count);
    }
    std::fclose(file);
    if (SendMessageW(GetDlgItem(mainWindow, IDC_TEAM_PICKER), CB_GETCOUNT, 0, 0) != 0)
        return 1;
    FillPickers(mainWindow);
    return 1;
}

void ReadCell(int row, int column, WCHAR* cell)
{
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = cell;
    item.cchTextMax = kCellChars;
    SendMessageW(g_scheduleTable, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}
