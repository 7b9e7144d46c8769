// The calendar: a month calendar kept above other windows; Cancel only
// hides it, so choosing Calendar again brings the same one back.
#pragma once

#include "platform/platform.h"

INT_PTR CalendarDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
