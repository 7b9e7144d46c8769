// The download dialog: fetches both files, then reloads the standings and
// the schedule table and rebuilds the Team and Week pages for the
// selections the user had; a failure shows the last error text.
#pragma once

#include "platform/platform.h"

INT_PTR DownloadDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
