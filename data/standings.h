// The standings list: the 32 teams by division with their records, and the
// season label the standings title shows.
#pragma once

#include "platform/platform.h"

constexpr int kSeasonLabelChars = 130;  // 129 characters and the terminator

extern WCHAR g_seasonLabel[kSeasonLabelChars];

int LoadStandings(HWND mainWindow, LPCWSTR standingsPath);
