// The Team page: one team's 17 regular-season weeks and its overall, home
// and road record.
#pragma once

#include "platform/platform.h"

// Fills the team schedule list and the record labels for a team row; a row
// outside 0..31 (no selection) shows an empty list and no games played.
void ShowTeamSchedule(HWND mainWindow, int teamRow);

// Appends one week: its converted date, the game text and, unless a bye,
// the converted kick-off time.
void AddTeamScheduleRow(HWND mainWindow, const WCHAR* dateCell, const WCHAR* gameText);
