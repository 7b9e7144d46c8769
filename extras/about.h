// The About dialog.
#pragma once

#include "platform/platform.h"

INT_PTR AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
