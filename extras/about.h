// The About box: icon, version and product name; it closes itself when
// another window becomes active.
#pragma once

#include "platform/platform.h"

INT_PTR AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
