// The Week page: one week's games with scores and odds, then the teams
// with a bye in alphabetical order, or the playoff placeholder rows.
#pragma once

#include "platform/platform.h"

// Fills the week games list for a week index; an index outside 0..20 (no selection)
// leaves the list empty.
void ShowWeekGames(HWND mainWindow, int weekIndex);

// Appends one row: "Bye" or the converted date, the game text, the odds
// (none gives an empty cell).
void AddWeekGameRow(HWND mainWindow, const WCHAR* dateSource, const WCHAR* gameText, const WCHAR* oddsText);
