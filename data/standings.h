// The standings list: a blank row above each division's four teams, each
// team with its wins, losses, ties and winning percentage; and the season
// label the standings title shows.
#pragma once

#include "platform/platform.h"

constexpr int kSeasonLabelChars = 130;  // 129 characters and the terminator
constexpr int kPercentageChars = 8;     // ".563", "1000"

extern WCHAR g_seasonLabel[kSeasonLabelChars];

// Fills the standings list from the standings file; returns 1 when all 32 team lines
// were read.
int LoadStandings(HWND mainWindow, LPCWSTR standingsPath);

// Appends one row of five texts to the standings list.
void AddStandingsRow(HWND mainWindow, const WCHAR* name, const WCHAR* wins, const WCHAR* losses, const WCHAR* ties,
                     const WCHAR* percentage);

// (W + T / 2) / (W + L + T) rounded half up at three places: ".563",
// "1000" for a perfect record, ".000" for no games.
void FormatWinningPercentage(double wins, double losses, double ties, WCHAR* text);
