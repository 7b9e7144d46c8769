// The four pages of the main window: tabs, list columns, page switching,
// the standings title and the division header images.
#pragma once

#include "platform/platform.h"

void CreatePageTabs(HWND mainWindow);
void CreateListColumns(HWND mainWindow);
void SwitchPage(HWND mainWindow);
void PaintStandingsTitle(HWND mainWindow);
INT_PTR TrackDivisionHeaders(HWND mainWindow);
void PlaceDivisionHeaders(HWND mainWindow);

// " " + season label + " NFL Standings ", cut at 127 characters.
void BuildStandingsTitle(WCHAR* title);
