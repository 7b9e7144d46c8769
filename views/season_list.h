// The season list: every game of the season file with its kick-off time in
// the user's zone.
#pragma once

#include "platform/platform.h"

// Fills the season games list from the season file; returns 1 when read to its end.
int LoadSeasonList(HWND mainWindow, LPCWSTR seasonPath);

// Appends a game of at least 2 characters with its time converted (a time
// of fewer than 3 characters, or one that is not a time, stays empty).
void AddSeasonRow(HWND mainWindow, const WCHAR* game, const WCHAR* time);
