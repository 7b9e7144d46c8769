// The main window: the program's one full-screen dialog.
#pragma once

#include "platform/platform.h"

INT_PTR MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
