// The schedule table: the schedule file held in the main window's hidden
// list view 1025, 32 team rows by 108 columns of text; and the two pickers
// it fills on its first load.
#pragma once

#include "platform/platform.h"

constexpr int kTeamRows = 32;
constexpr int kTableColumns = 108;
constexpr int kScheduleFields = 107;  // columns 0..106 come from the file
constexpr int kCellChars = 255;       // a cell buffer; at most 254 characters come back
constexpr int kWeekCount = 21;        // week indexes 0..20

// Column of a cell in week index w's block.
constexpr int DateColumn(int week) { return 5 * week + 2; }
constexpr int OpponentColumn(int week) { return 5 * week + 3; }
constexpr int ScoreColumn(int week) { return 5 * week + 4; }
constexpr int OddsColumn(int week) { return 5 * week + 5; }
constexpr int HomeColumn(int week) { return 5 * week + 6; }
constexpr int kNameColumn = 1;

// Loads the schedule file into the table; on the first load also fills the
// team and week pickers. Returns 1 when all 32 lines were read.
int LoadScheduleTable(HWND mainWindow, LPCWSTR schedulePath);

// Reads one cell of the table the last load filled into `cell`
// (kCellChars, cleared by the caller); a missing row or cell reads as an
// empty text.
void ReadCell(int row, int column, WCHAR* cell);
