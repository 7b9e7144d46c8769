// The Calendar dialog.
#pragma once

#include "platform/platform.h"

INT_PTR CalendarDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
