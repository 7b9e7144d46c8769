// The Download dialog.
#pragma once

#include "platform/platform.h"

INT_PTR DownloadDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
