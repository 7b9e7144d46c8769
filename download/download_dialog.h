// The download dialog: fetches both files, then reloads the standings and
// the schedule table and rebuilds the Team and Week pages for the
// selections the user had; a failure shows the last error text.
#pragma once

#include "platform/platform.h"

extern int g_rememberedTeam;  // team picker selection carried to the second stage
extern int g_rememberedWeek;  // week picker selection carried to the second stage

INT_PTR DownloadDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
