// The Week page: one week's games, odds and byes.
#pragma once

#include "platform/platform.h"

void ShowWeekGames(HWND mainWindow, int weekIndex);
